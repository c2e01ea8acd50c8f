#include "pages/PdfPageRenderer.h"

#include <QCoreApplication>
#include <QPainter>
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
    const QImage drawn = m_document->render(page, size, options);
    if (drawn.isNull())
        return fail();
    // The page is drawn on a transparent ground, which would turn black without alpha.
    QImage image(drawn.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.drawImage(0, 0, drawn);
    }
    const int dotsPerMetre = qRound(dpi / 0.0254);
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    return image;
}
