// The page phones open: the page index and each page as a receiver card shows
// it, kept up to date from the card stream. Served from memory.
#ifndef TORVANE_APP_WEB_CARDSPAGE_H_
#define TORVANE_APP_WEB_CARDSPAGE_H_

#include <string_view>

namespace torvane {

std::string_view CardsPageHtml();

}  // namespace torvane

#endif  // TORVANE_APP_WEB_CARDSPAGE_H_
