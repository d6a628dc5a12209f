// Loading the page store from the settings and saving it back: the one place
// the page editor, the headless station and the command-line tool all use.
#ifndef TORVANE_APP_MEMMAP_PAGESTORESETTINGS_H_
#define TORVANE_APP_MEMMAP_PAGESTORESETTINGS_H_

#include <cstdint>

namespace torvane {

class PageStore;
class SettingsStore;

// N from "MaxPages": a numeric value in 2..126, anything else 2.
int16_t StoredHighestPage(const SettingsStore& settings);

// Replaces pages with pages 0..N as stored. Per page: S = "PageSize" (missing or
// not numeric: 0; taken into 0..200); page 1 below 12 is raised to 12 and
// "PageSize" = 12 written back. Per line "L<i>" (not numeric: 0; beyond the
// 16-bit range: 255) and "P<i>", then "Title"; a missing value leaves the
// field empty. Addresses are chained. Pages whose blocks would end above 32000
// stay in the store (FitsImage() tells); the image builder leaves them out.
void LoadPageStore(SettingsStore& settings, PageStore& pages);

// Writes "MaxPages" = N.
void SavePageCount(SettingsStore& settings, const PageStore& pages);
// Per page "L<i>", "P<i>" (20 characters) and "Title" (16); then deletes
// "L<i>"/"P<i>" for i = S+1, S+2, ... while a deletion succeeds, then the keys
// of pages N+1 .. 126 until one cannot be deleted.
void SavePages(SettingsStore& settings, const PageStore& pages);
// SavePageCount, then SavePages, flushed once.
void SavePageStore(SettingsStore& settings, const PageStore& pages);

// Writes page's "PageSize" = s.
void WritePageSize(SettingsStore& settings, int page, int s);

// Removes page N and deletes its key, only while N >= 3; false otherwise.
bool RemoveLastPage(PageStore& pages, SettingsStore& settings);

}  // namespace torvane

#endif  // TORVANE_APP_MEMMAP_PAGESTORESETTINGS_H_
