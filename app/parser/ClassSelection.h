// The class being raced: the class list the timing system sends, and the match
// of a class name against the page editor's category list.
#ifndef TORVANE_APP_PARSER_CLASSSELECTION_H_
#define TORVANE_APP_PARSER_CLASSSELECTION_H_

#include <string>
#include <string_view>
#include <vector>

#include "TimingContext.h"

namespace torvane {

class Prompter;
class SettingsStore;

inline constexpr std::string_view kClassListingMessage = "Unable to process class listing.";
inline constexpr std::string_view kClassListingTitle = "Chronex - Class Listing";

// Stores class name number index of the class listing and deletes the names
// above it while there are any, so the list ends at index. A name that cannot
// be stored (an empty one would end the list early) is reported with the class
// listing message and changes nothing else.
void StoreClassName(SettingsStore& settings, Prompter& prompter, std::string_view name, int index);

// The best category for a class name: the longest non-empty entry found inside
// the name (the first of equal length), compared without regard to ASCII case;
// -1 when none. The timing system and the operator do not always agree on case.
int FindCategoryWithin(const std::vector<std::string>& categories, std::string_view name);
// The longest entry that contains a non-empty name, same rules; -1 when none.
int FindCategoryContaining(const std::vector<std::string>& categories, std::string_view name);

// Makes name the class being raced: CurrentClass, BumpTime cleared, the
// matched category (ActiveCategory, the editor's selection, "ActiveCategory"
// stored), page 1 line 12 leading to the category's class page, and HeadsUp
// from the category's stored setting. Without a match the category list turns
// red, HeadsUp goes off and line 12 leads nowhere.
void SelectClass(const TimingContext& context, std::string_view name);

}  // namespace torvane

#endif  // TORVANE_APP_PARSER_CLASSSELECTION_H_
