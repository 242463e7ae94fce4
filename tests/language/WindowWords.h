// What a window says in words, each under a key naming where it stands, so
// the same windows built in two languages (or switched) compare word for
// word: titles, labels, buttons, group boxes, menus and their items, tool
// tips, accessible names, placeholders, list entries, table headers, chart
// titles and the status bar.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

class QWidget;

using WindowWords = QMap<QString, QString>;

// Adds pWindow's words (its children's too) under keys that begin strName.
void CollectWords(QWidget* pWindow, const QString& strName, WindowWords& words);

// Texts a language may share with English: names of things (Quado, the
// adapter, the languages by their own names), the words that are the same in
// German, and what holds no word at all (numbers, times, dates, paths).
bool IsLanguageNeutral(const QString& strText);

// The entries of words equal in both, as "key: text" lines; for the failure.
std::vector<std::string> SameWords(const WindowWords& first, const WindowWords& second);
// Every key whose text differs (or that only one holds), as
// "key: first | second" lines.
std::vector<std::string> DifferentWords(const WindowWords& first, const WindowWords& second);
