#pragma once

#include <QString>

class TLangTranslator;

// The message tables of the four windows. Ids do not overlap between windows.
namespace MessageTables {
const TLangTranslator &main();
const TLangTranslator &about();
const TLangTranslator &settings();
const TLangTranslator &preview();

// "1 file", "2 files" in English; a translation brings its language's plural
// forms ("1 файл", "2 файла", "5 файлов").
QString fileCount(int n);
} // namespace MessageTables
