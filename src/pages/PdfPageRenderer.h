#pragma once

#include <QImage>
#include <QString>
#include <memory>

class QPdfDocument;

// The pages of a PDF document as pictures, for adding them to the list. Made,
// used and destroyed on one thread (the importer's worker): the document object
// belongs to the thread that made it.
class PdfPageRenderer final
{
public:
    // The resolution pages are drawn at.
    static constexpr int kDpi = 300;
    // Pixels of one page at most (about 20 x 20 inches at kDpi); a larger page is
    // drawn at a lower resolution rather than taking gigabytes of memory.
    static constexpr qint64 kMaxPixels = 36'000'000;

    PdfPageRenderer();
    ~PdfPageRenderer();
    Q_DISABLE_COPY_MOVE(PdfPageRenderer)

    // False, with the reason in *error (a sentence ending the importer's "cannot
    // be added:" message), for a damaged, password-protected or empty document.
    bool open(const QString &path, QString *error);
    int pageCount() const;
    // The page (from 0) on white, its resolution in the image's dots per metre;
    // null, with the reason in *error, when it cannot be drawn.
    QImage render(int page, QString *error) const;

private:
    std::unique_ptr<QPdfDocument> m_document;
};
