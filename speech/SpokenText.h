// What is said for a panel text: the board's texts are the English wording,
// an empty line, then the German wording; each part is said as one phrase in
// its own language.
#pragma once

#include <QString>

#include <string>

enum class SpokenLanguage { English, German };

struct SpokenParts {
    // Either may be empty: nothing to say in that language.
    QString strEnglish;
    QString strGerman;
};

// Splits at the first empty line; a text without one is English only (the
// manual driver's colour names). Line breaks within a part become spaces.
SpokenParts SplitPanelText(const std::wstring& strPanel);
