#include "CardsPage.h"

namespace torvane {

std::string_view CardsPageHtml() {
  // Text goes into the page through textContent only: a card's lines are the
  // timing system's text, never markup.
  static constexpr std::string_view kPage = R"html(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>TorvaneTX cards</title>
<style>
body{margin:0;background:#1e1e1e;color:#eee;font-family:sans-serif}
header{display:flex;justify-content:space-between;align-items:center;padding:.4em .6em;background:#333}
header a{color:#8cf;text-decoration:none}
#live{font-size:.8em;padding:.1em .5em;border-radius:.3em;background:#a33}
#live.on{background:#2a2;color:#000}
main{padding:.5em}
.card{display:inline-block;font-family:monospace;font-size:5vw;line-height:1.25;background:#000;padding:.3em}
@media(min-width:600px){.card{font-size:24px}}
.row{white-space:pre;display:block;color:inherit;text-decoration:none}
a.row{text-decoration:underline;text-decoration-color:#666}
#index a{display:block;padding:.5em .2em;border-bottom:1px solid #333;color:#eee;text-decoration:none;font-family:monospace;font-size:1.1em}
#index a span{color:#888;margin-right:.8em}
.note{color:#aaa;padding:1em 0}
</style></head>
<body data-sequence="0">
<header><a href="#" id="home">Pages</a><span id="where"></span><span id="live">connecting</span></header>
<main><div id="view"><p class="note">Waiting for the card&hellip;</p></div></main>
<script>
"use strict";
// The operator's palette, by colour index.
const palette = ["#000000", "#808080", "#c0c0c0", "#ffffff", "#ff0000", "#800000", "#ff00ff",
  "#800080", "#00ff00", "#008000", "#00ffff", "#7b7b3e", "#ff8000", "#000080", "#ffff00",
  "#408080"];
const kNoLink = 255;
let card = null;

function apply(message) {
  let redraw = true;
  if (message.full || card === null) {
    card = message.card;
  } else {
    // Only what the viewer sees is drawn again, so a tap is not lost under it.
    const shown = shownPage();
    redraw = message.pageCount !== card.pages.length || message.card.ticker !== card.ticker ||
        message.card.tickerRunning !== card.tickerRunning ||
        message.card.pages.some(p => shown === null || p.number === shown);
    const pages = card.pages.slice(0, message.pageCount);
    for (const page of message.card.pages) {
      const at = pages.findIndex(p => p.number === page.number);
      if (at >= 0) pages[at] = page; else pages.push(page);
    }
    pages.sort((a, b) => a.number - b.number);
    card = Object.assign({}, message.card, {pages: pages});
  }
  document.body.dataset.sequence = String(message.sequence);
  if (redraw) render();
}

function row(text, colour, link) {
  const element = document.createElement(link === undefined ? "span" : "a");
  element.className = "row";
  element.textContent = text.padEnd(20, " ");
  const fore = colour & 15;
  const back = (colour >> 4) & 15;
  // A page whose colours were never set holds 0 for both: drawn readable.
  element.style.color = fore === back ? (back === 3 ? "#000000" : "#ffffff") : palette[fore];
  element.style.background = palette[back];
  if (link !== undefined) element.href = "#page=" + link;
  return element;
}

function shownPage() {
  const match = /^#page=(\d+)$/.exec(location.hash);
  return match ? Number(match[1]) : null;
}

function render() {
  const view = document.getElementById("view");
  const where = document.getElementById("where");
  view.replaceChildren();
  if (card === null) return;
  const number = shownPage();
  if (number === null) {
    where.textContent = card.pages.length + " pages";
    const index = document.createElement("div");
    index.id = "index";
    for (const page of card.pages) {
      const a = document.createElement("a");
      a.href = "#page=" + page.number;
      const n = document.createElement("span");
      n.textContent = String(page.number);
      a.append(n, page.title.trim() || "(no title)");
      index.append(a);
    }
    if (card.pages.length === 0) index.textContent = "The card holds no pages yet.";
    view.append(index);
    return;
  }
  where.textContent = "Page " + number;
  const page = card.pages.find(p => p.number === number);
  if (!page) {
    const note = document.createElement("p");
    note.className = "note";
    note.textContent = "No such page on the card";
    view.append(note);
    return;
  }
  const box = document.createElement("div");
  box.className = "card";
  box.id = "card";
  box.append(row(page.title, page.titleColour));
  const numbers = new Set(card.pages.map(p => p.number));
  for (const line of page.lines) {
    const linked = line.link !== kNoLink && line.link !== number && numbers.has(line.link);
    box.append(row(line.text, page.pageColour, linked ? line.link : undefined));
  }
  if (card.tickerRunning && card.ticker) {
    const ticker = row(card.ticker, card.tickerColour);
    ticker.id = "ticker";
    box.append(ticker);
  }
  view.append(box);
}

window.addEventListener("hashchange", render);
const live = document.getElementById("live");
// EventSource connects again by itself after a drop; the first message on
// every connection is the whole card.
const events = new EventSource("/events");
events.onopen = () => { live.textContent = "live"; live.className = "on"; };
events.onerror = () => { live.textContent = "reconnecting"; live.className = ""; };
events.onmessage = e => apply(JSON.parse(e.data));
</script>
</body></html>
)html";
  return kPage;
}

}  // namespace torvane
