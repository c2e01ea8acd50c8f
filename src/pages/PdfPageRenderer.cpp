#include "pages/PdfPageRenderer.h"

#include <QCoreApplication>
#include <QPdfDocument>
#include <QPdfDocumentRenderOptions>
#include <QtMath>

PdfPageRenderer::PdfPageRenderer() : m_document(std::make_unique<QPdfDocument>())
{
}

PdfPageRenderer::~PdfPageRenderer() = default;

bool PdfPageRenderer::open(const QString &path, QString *error)
{
    const QPdfDocument::Error status = m_document->load(path);
    QString why;
    switch (status) {
    case QPdfDocument::Error::None:
        if (m_document->pageCount() > 0)
            return true;
        why = QCoreApplication::translate("PageImport", "the PDF document has no pages.",
                                          "importPdfEmpty");
        break;
    case QPdfDocument::Error::IncorrectPassword:
        why = QCoreApplication::translate(
            "PageImport", "the PDF document is protected by a password.", "importPdfPassword");
        break;
    case QPdfDocument::Error::UnsupportedSecurityScheme:
        why = QCoreApplication::translate(
            "PageImport", "the PDF document is encrypted in a way this program cannot read.",
            "importPdfSecurity");
        break;
    case QPdfDocument::Error::FileNotFound:
        why = QCoreApplication::translate("PageImport", "it cannot be opened for reading.",
                                          "importPdfUnreadable");
        break;
    default:
        why = QCoreApplication::translate("PageImport", "the PDF document is damaged.",
                                          "importPdfDamaged");
        break;
    }
    if (error)
        *error = why;
    m_document->close();
    return false;
}

int PdfPageRenderer::pageCount() const
{
    return m_document->pageCount();
}

QImage PdfPageRenderer::render(int page, QString *error) const
{
    const QSizeF points = m_document->pagePointSize(page);
    const auto fail = [error, page] {
        if (error)
            *error = QCoreApplication::translate("PageImport", "page %1 cannot be drawn.",
                                                 "importPdfPage")
                         .arg(page + 1);
        return QImage();
    };
    if (!(points.width() > 0 && points.height() > 0))
        return fail();
    double dpi = kDpi;
    const double pixels = points.width() * points.height() * (dpi / 72) * (dpi / 72);
    if (pixels > double(kMaxPixels))
        dpi = std::floor(dpi * std::sqrt(double(kMaxPixels) / pixels));
    const QSize size(qMax(1, qRound(points.width() * dpi / 72)),
                     qMax(1, qRound(points.height() * dpi / 72)));
    QPdfDocumentRenderOptions options;
    // Stamps, filled-in forms and notes are part of the page the user sees.
    options.setRenderFlags(QPdfDocumentRenderOptions::RenderFlag::Annotations);
    QImage image = m_document->render(page, size, options);
    if (image.isNull())
        return fail();
    // The page is drawn on a transparent ground, which would turn black without
    // alpha. It is laid on white paper where it lies: the same pixels as painting it
    // over a white page, without a second page-sized image to allocate and fill.
    image.convertTo(QImage::Format_ARGB32_Premultiplied);
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        return fail();
    for (int y = 0; y < image.height(); ++y) {
        auto *row = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            // Premultiplied, each colour is at most the alpha: white's share adds
            // without a carry.
            const quint32 pixel = row[x];
            row[x] = (pixel | 0xff000000u) + (255u - (pixel >> 24)) * 0x010101u;
        }
    }
    image.reinterpretAsFormat(QImage::Format_RGB32);
    const int dotsPerMetre = qRound(dpi / 0.0254);
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    return image;
}
