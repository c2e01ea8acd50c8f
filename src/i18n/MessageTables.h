#pragma once

class TLangTranslator;

// The message tables of the four windows. Ids do not overlap between windows.
namespace MessageTables {
const TLangTranslator &main();
const TLangTranslator &about();
const TLangTranslator &settings();
const TLangTranslator &preview();
} // namespace MessageTables
