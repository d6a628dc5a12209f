#!/usr/bin/python3
"""The web view in a real browser: headless Chromium, driven by Selenium,
opens the cards served by the headless station during a short race day (the
demo's simulators), sees page 1 change after a timing record, follows a line's
link to another page, and takes a screenshot. With --url the station is one
already serving there during its race day (the Windows station under Wine,
scripts/windows-race-day --web), and the demo is not started.

  BrowserTest.py BUILD_DIR [--screenshot PNG] [--timeout S] [--url URL]

Exits 77 (skipped) when Chromium, its driver or Selenium is not installed."""
import argparse
import os
import shutil
import sys
import urllib.request

from DemoStation import DemoStation, free_port, wait_until

SKIP = 77


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--screenshot")
    parser.add_argument("--timeout", type=float, default=60)
    parser.add_argument("--url")
    args = parser.parse_args()
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        from selenium.webdriver.common.by import By
    except ImportError:
        print("skipped: needs python3-selenium")
        return SKIP
    browser = shutil.which("chromium")
    driver_path = shutil.which("chromedriver")
    if not browser or not driver_path:
        print("skipped: needs chromium and chromium-driver")
        return SKIP

    demo = None
    if args.url:
        url = args.url if args.url.endswith("/") else args.url + "/"
    else:
        port = free_port()
        url = f"http://127.0.0.1:{port}/"
        demo = DemoStation(args.build, port, args.timeout + 30,
                           os.path.join(args.build, "browser-test-demo.log"))
    driver = None
    try:
        def answers():
            try:
                with urllib.request.urlopen(url + "status.json", timeout=2) as r:
                    return r.status == 200
            except OSError:
                return False
        wait_until("the station's web view", answers, 30)

        options = webdriver.ChromeOptions()
        options.binary_location = browser
        options.add_argument("--headless=new")
        options.add_argument("--window-size=420,860")
        options.add_argument("--disable-dev-shm-usage")
        if os.geteuid() == 0:
            options.add_argument("--no-sandbox")
        driver = webdriver.Chrome(service=Service(driver_path), options=options)
        def card_text():
            # Read in the page itself: the card is drawn anew as rows arrive.
            return driver.execute_script(
                "const c = document.getElementById('card'); return c ? c.innerText : null;")

        driver.get(url)
        wait_until("the page index",
                   lambda: len(driver.find_elements(By.CSS_SELECTOR, "#index a")) >= 3,
                   args.timeout)
        wait_until("the live mark", lambda: driver.find_element(By.ID, "live").text == "live", 10)

        # Page 1 as a card shows it, then again after the next timing record.
        def click(selector):
            # Clicked in the page itself: the index and the card are drawn anew as rows arrive.
            return driver.execute_script(
                "const a = document.querySelector(arguments[0]);"
                "if (!a) return null; a.click(); return a.textContent;", selector)

        wait_until("page 1 in the index", lambda: click("#index a[href='#page=1']"), 10)
        first = wait_until("page 1", card_text, 10)
        changed = wait_until("page 1 to change",
                             lambda: (lambda t: t if t and t != first else None)(card_text()),
                             args.timeout)
        print("page 1 before:\n" + first + "\npage 1 after a timing record:\n" + changed)

        # A line's link opens its page, as on a card.
        driver.get(url + "#page=0")
        link = wait_until("page 0's link to page 2", lambda: click("#card a.row[href='#page=2']"), 10)
        assert link.strip() == "CLASSES", link
        wait_until("page 2", lambda: (card_text() or "").startswith("CATEGORIES INDEX"), 10)
        assert driver.find_element(By.ID, "where").text == "Page 2"

        if args.screenshot:
            driver.get(url + "#page=1")
            wait_until("page 1", card_text, 10)
            driver.save_screenshot(args.screenshot)
            print("screenshot " + args.screenshot)
        print("the browser showed the cards, followed page 1 and a link")
        return 0
    finally:
        if driver is not None:
            driver.quit()
        if demo is not None:
            demo.stop()


if __name__ == "__main__":
    sys.exit(main())
