#pragma once

namespace m845 {

class TLangList;

inline constexpr int kTextTableSize = 149;

// Adds the 149 built-in entries in table order.
void FillTextTable(TLangList &list);
// Adds the texts of our own that the language file does not carry (AddExtraEntry).
void FillExtraTexts(TLangList &list);

} // namespace m845
