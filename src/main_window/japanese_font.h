#pragma once
// Japanese captions need a font with Japanese glyphs: the application font
// becomes "Noto Sans CJK JP" when it is installed (fonts-noto-cjk).
namespace mainwin {
// Returns whether the font was found and set.
bool applyJapaneseFont();
}  // namespace mainwin
