#pragma once

#include "ocr/PdfWord.h"

#include <QByteArray>
#include <QString>
#include <QVector>

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
    ~TPDF() = default;

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

    // Appends the cross-reference table and trailer (once) and writes the document
    // through a temporary file in the target folder that is renamed into place, so
    // an existing file is either replaced whole or left as it was, and a symbolic
    // link of that name is replaced, not followed.
    bool SaveToFile(const QString &fileName);

    QString errorString() const { return m_error; }
    int pagesAdded() const { return m_pagesAdded; }
    // The document as written so far.
    const QByteArray &data() const { return FStream; }

    // The header scan over a whole JPEG file held in memory. On refusal *reason
    // says why.
    static bool ReadJPEGHeader(const QByteArray &jpeg, int &width, int &height, int &components,
                               QString *reason = nullptr);

private:
    void write(const char *line);
    void write(const QByteArray &line);
    void recordOffset(int index);
    void WriteContents(int number, int width, int height, const QByteArray &text);
    void WriteFont();
    int fontObject() const { return 4 * FPageCount + 3; }
    void WriteXRef();
    bool writeReplacing(const QString &fileName);
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
};
