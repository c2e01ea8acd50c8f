#pragma once

#include "ocr/PdfWord.h"
#include "pdf/PdfArchiveMetadata.h"
#include "pdf/PdfImage.h"

struct CompactImage;

#include <QByteArray>
#include <QCryptographicHash>
#include <QString>
#include <QVector>
#include <memory>

class AtomicFile;

// Writes a PDF 1.5 document in which every page is one JPEG image that fills the
// page, one image pixel per PDF unit. The document is built in memory in one forward
// pass: header, catalog and the whole page tree at creation, three objects per page,
// and the cross-reference table and trailer when saved. JPEG data is embedded
// unchanged; nothing reaches the disk before SaveToFile.
//
// A page may carry recognised words: they are drawn over the image as invisible
// text (a searchable PDF), in one glyph-less font whose objects follow the last
// page. A document without words is exactly what it was before text layers existed.
//
// An archival document (PDF/A-2b) is a second way through the same numbering and
// passes: it is created with its title and date and takes prepared pictures
// (addImage), each page sized by its picture's resolution; the catalog names an
// XMP metadata stream and an sRGB output intent, and the objects for them and an
// Info dictionary follow the font's numbers. Every stream keyword pair encloses
// its data in line feeds and the trailer carries a file /ID. Documents created
// without it are exactly what they were before archival documents existed.
//
// Calling order: create with the number of pages, add exactly that many pages in
// page order, call SaveToFile, destroy.
//
// Errors: every operation answers false on failure and errorString() tells why,
// naming the file. A refused page writes nothing; because the page tree already
// counts it, SaveToFile then refuses the incomplete document and reports the
// refusal, so no broken PDF is ever written.
class TPDF final
{
    Q_DISABLE_COPY_MOVE(TPDF)

public:
    explicit TPDF(int pageCount);
    // An archival document.
    TPDF(int pageCount, const PdfArchiveInfo &archive);
    // A compact document, archival when archive is given: pages are prepared
    // pictures (addImage) or split pages (addCompactPage), each given seven object
    // numbers rather than four for its layers.
    struct Compact
    {
    };
    TPDF(int pageCount, Compact, const PdfArchiveInfo *archive = nullptr);
    ~TPDF();

    // Embeds the JPEG file unchanged. False when it cannot be read or its header is
    // not accepted (no start-of-image marker, no baseline or progressive frame,
    // truncated, not 1, 3 or 4 components); nothing is written then.
    bool AddJPEGPage(const QString &fileName);
    // Decodes a bitmap (BMP, PNG, TIFF, ...) and embeds it as a baseline,
    // three-component JPEG of quality 75, encoded in memory.
    bool AddBitmapPage(const QString &fileName);
    // A page from JPEG data already in memory (the parallel export encodes ahead);
    // sourceName names the page in error texts. words (boxes in the JPEG's pixels)
    // become the page's invisible text layer.
    bool addJpegData(const QByteArray &jpeg, const QString &sourceName, const PdfWords &words = {});
    // Archival documents only: a page from a prepared picture. The page measures the
    // picture at its resolution (an A4 scan at any dpi is 595 x 842 points); words
    // (boxes in the picture's pixels) become its invisible text layer.
    bool addImage(const PdfImage &image, const QString &sourceName, const PdfWords &words = {});
    // Compact documents only: a page drawn as its background, its kept picture and
    // its text through the stencil mask, sized by its resolution as addImage's.
    bool addCompactPage(const CompactImage &page, const QString &sourceName,
                        const PdfWords &words = {});

    // Hands the document to a temporary file beside fileName as it grows, so that
    // memory holds about a page rather than the whole document; SaveToFile with the
    // same name completes it and renames it into place. Dropping the writer
    // without that removes the temporary file.
    bool streamTo(const QString &fileName);

    // Appends the cross-reference table and trailer (once) and writes the document
    // through a temporary file in the target folder that is renamed into place, so
    // an existing file is either replaced whole or left as it was, and a symbolic
    // link of that name is replaced, not followed.
    bool SaveToFile(const QString &fileName);

    QString errorString() const { return m_error; }
    int pagesAdded() const { return m_pagesAdded; }
    bool isArchival() const { return m_archival; }
    // The document as written so far (after streamTo: what is not yet in the file).
    const QByteArray &data() const { return FStream; }

    // The header scan over a whole JPEG file held in memory. On refusal *reason
    // says why.
    static bool ReadJPEGHeader(const QByteArray &jpeg, int &width, int &height, int &components,
                               QString *reason = nullptr);

private:
    TPDF(int pageCount, const PdfArchiveInfo *archive, int numbersPerPage = 4);
    void write(const char *line);
    void write(const QByteArray &line);
    void recordOffset(int index);
    void WriteContents(int number, int width, int height, const QByteArray &text);
    void WriteFont();
    int fontObject() const { return m_numbersPerPage * FPageCount + 3; }
    void WriteArchiveObjects();
    int metadataObject() const { return m_numbersPerPage * FPageCount + 9; }
    int profileObject() const { return m_numbersPerPage * FPageCount + 10; }
    int infoObject() const { return m_numbersPerPage * FPageCount + 11; }
    bool acceptsPage(const QString &sourceName);
    void writePageObject(int imageNumber, const QByteArray &mediaBox, const QByteArray &procSet,
                         bool text);
    void WriteXRef();
    bool writeReplacing(const QString &fileName);
    void writeImageObject(int number, const PdfImage &image, const QByteArray &kind);
    qint64 position() const { return m_streamed + FStream.size(); }
    bool flushStream(qint64 atLeast);
    bool appendData(const QByteArray &data);
    bool writeOut(const QByteArray &data);
    bool fail(const QString &error);
    bool refuse(const QString &error); // a page not added

    QByteArray FStream;
    qint32 FObjectCount = 0;
    // Entry i: file offset of object i+1, or -1 for a number that has no object (the
    // reserved fourth number of each page). Grows with the document.
    QVector<qint64> FOffsets;
    qint32 FPageCount = 0;

    int m_pagesAdded = 0;
    bool m_finished = false; // cross-reference table and trailer appended
    bool m_hasText = false;  // some page refers to the font written after the pages
    QString m_error;
    QString m_refusal; // why a page was not added, reported again by SaveToFile

    const bool m_archival;
    const int m_numbersPerPage; // object numbers each page owns (4; compact: 7)
    PdfArchiveInfo m_archive;
    std::unique_ptr<AtomicFile> m_out; // set by streamTo
    QString m_outName;
    qint64 m_streamed = 0;                                // bytes already handed to m_out
    QCryptographicHash m_digest{QCryptographicHash::Md5}; // of those bytes, for the /ID
};
