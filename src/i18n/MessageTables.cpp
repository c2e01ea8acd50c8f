#include "i18n/MessageTables.h"

#include "i18n/TLangTranslator.h"

#include <QCoreApplication>
#include <QtGlobal>

// Each entry is marked for lupdate: context, English text, and the id as
// disambiguation, which is also how the entry is looked up.
namespace MessageTables {

const TLangTranslator &main()
{
    static const TLangTranslator table(
        "Tfrm_Main",
        {
            QT_TRANSLATE_NOOP3("Tfrm_Main", "Ready", "IDS_6"),
            QT_TRANSLATE_NOOP3("Tfrm_Main", "Despeckling...", "IDS_28"),
            QT_TRANSLATE_NOOP3("Tfrm_Main", "Deskewing...", "IDS_29"),
            QT_TRANSLATE_NOOP3("Tfrm_Main", "Rotating...", "IDS_30"),
            QT_TRANSLATE_NOOP3("Tfrm_Main", "Border detecting...", "IDS_31"),
            QT_TRANSLATE_NOOP3("Tfrm_Main", "Image preview ... ", "IDS_32"),
            QT_TRANSLATE_NOOP3("Tfrm_Main", "Scanning...", "IDS_33"),
            QT_TRANSLATE_NOOP3("Tfrm_Main", "Copying to printer...", "IDS_34"),
            QT_TRANSLATE_NOOP3("Tfrm_Main",
                               "Selected directory doesn't exists. \\nWould you like "
                               "to create it?",
                               "IDS_37"),
            QT_TRANSLATE_NOOP3("Tfrm_Main", "Destination directory", "IDS_38"),
            QT_TRANSLATE_NOOP3("Tfrm_Main", "It is impossible to create directory", "IDS_39"),
            QT_TRANSLATE_NOOP3("Tfrm_Main", "Scanning ... ", "IDS_41"),
            QT_TRANSLATE_NOOP3("Tfrm_Main", "There are no documents loaded in the feeder",
                               "IDS_42"),
            QT_TRANSLATE_NOOP3("Tfrm_Main", "Copying ... ", "IDS_43"),
            QT_TRANSLATE_NOOP3("Tfrm_Main", "https://www.veldmark.com/pagora-pro/", "IDS_89"),
            QT_TRANSLATE_NOOP3("Tfrm_Main", "Select destination folder...", "IDS_97"),
            QT_TRANSLATE_NOOP3("Tfrm_Main", "Pagora Pro document", "IDS_98"),
            QT_TRANSLATE_NOOP3("Tfrm_Main", "Do you want to delete this image?", "IDS_100"),
            QT_TRANSLATE_NOOP3("Tfrm_Main", "Image deleting", "IDS_101"),
            QT_TRANSLATE_NOOP3("Tfrm_Main",
                               "It is impossible to rename file. May be file was "
                               "already deleted or moved",
                               "IDS_103"),
            QT_TRANSLATE_NOOP3("Tfrm_Main", "File rename", "IDS_104"),
            QT_TRANSLATE_NOOP3("Tfrm_Main", " files", "IDS_105"),
            QT_TRANSLATE_NOOP3("Tfrm_Main", " file", "IDS_106"),
        });
    return table;
}

const TLangTranslator &about()
{
    static const TLangTranslator table(
        "Tfrm_About",
        {
            QT_TRANSLATE_NOOP3("Tfrm_About", "Version ", "IDS_2"),
            QT_TRANSLATE_NOOP3("Tfrm_About",
                               "There is new version available on our site!\\nDo you "
                               "want to visit site to download new version?",
                               "IDS_11"),
            QT_TRANSLATE_NOOP3("Tfrm_About", "Checking Pagora Pro updates", "IDS_12"),
            QT_TRANSLATE_NOOP3("Tfrm_About", "https://www.veldmark.com/pagora-pro/download/",
                               "IDS_14"),
            QT_TRANSLATE_NOOP3("Tfrm_About", "You are using the newest version of Pagora Pro",
                               "IDS_15"),
        });
    return table;
}

const TLangTranslator &settings()
{
    static const TLangTranslator table("Tfrm_Settings", {});
    return table;
}

const TLangTranslator &preview()
{
    static const TLangTranslator table(
        "Tfrm_Preview", {
                            QT_TRANSLATE_NOOP3("Tfrm_Preview", "Previewing... ", "IDS_0"),
                        });
    return table;
}

QString fileCount(int n)
{
    // English keeps its two suffixes of the table; a language with more plural
    // forms translates the numerus entry, which Qt picks by the language's rules.
    const QString translated =
        QCoreApplication::translate("Tfrm_Main", "%n file(s)", "FileCount", n);
    if (translated != QStringLiteral("%1 file(s)").arg(n))
        return translated;
    return QString::number(n) +
           main().GetTextOrDefault(QLatin1String(n == 1 ? "IDS_106" : "IDS_105"));
}

} // namespace MessageTables
