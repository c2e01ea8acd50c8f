#include "pdf/TPDF.h"

#include "files/AtomicFile.h"
#include "files/LocalFileName.h"
#include "i18n/SystemErrorText.h"
#include "pdf/CompactPage.h"
#include "pdf/GlyphlessFont.h"
#include "pdf/JpegHeader.h"
#include "pdf/PdfPageSource.h"
#include "pdf/PdfTextLayer.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QSizeF>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A document replaced keeps its permissions, as an editor's save would.
void keepMode(int fd, const QByteArray &target)
{
    struct stat old = {};
    if (::lstat(target.constData(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(fd, old.st_mode & 07777);
}

QByteArray num(qint64 value)
{
    return QByteArray::number(value);
}

// The cross-reference table stores offsets in ten digits.
constexpr qint64 kMaxOffset = 9999999999LL;

// PDF/A bounds a page to 14400 units on each side.
constexpr double kMaxPagePoints = 14400;

// A picture without a resolution counts as 72 dpi, one pixel per point; one too
// large for the page limit is shown smaller, never cut.
QSizeF pagePoints(int width, int height, double dpiX, double dpiY)
{
    const double w = width * 72.0 / (dpiX > 0 ? dpiX : 72.0);
    const double h = height * 72.0 / (dpiY > 0 ? dpiY : 72.0);
    const double shrink = qMin(1.0, kMaxPagePoints / qMax(w, h));
    return QSizeF(w * shrink, h * shrink);
}

// A streamed document is handed to its file in pieces of about this size.
constexpr qint64 kStreamChunk = 1 << 20;

// A length in points with at most four decimals and no trailing zeros.
QByteArray real(double value)
{
    QByteArray text = QByteArray::number(value, 'f', 4);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    return text;
}

QByteArray deflated(const QByteArray &data)
{
    QByteArray z = qCompress(data, 9);
    z.remove(0, 4); // Qt's own length prefix; the rest is the zlib stream
    return z;
}

} // namespace

TPDF::TPDF(int pageCount) : TPDF(pageCount, nullptr)
{
}

TPDF::TPDF(int pageCount, const PdfArchiveInfo &archive) : TPDF(pageCount, &archive)
{
}

TPDF::TPDF(int pageCount, Compact, const PdfArchiveInfo *archive) : TPDF(pageCount, archive, 7)
{
}

TPDF::~TPDF() = default;

TPDF::TPDF(int pageCount, const PdfArchiveInfo *archive, int numbersPerPage)
    : FPageCount(qMax(0, pageCount)), m_archival(archive != nullptr),
      m_numbersPerPage(numbersPerPage)
{
    FStream.reserve(64 * 1024);
    FObjectCount = 0;
    if (m_archival) {
        m_archive = *archive;
        write("%PDF-1.7");
        // Bytes above 127 in a comment mark the file as binary for transfer programs.
        write("%\xE2\xE3\xCF\xD3");
    } else {
        write("%PDF-1.5");
    }

    recordOffset(FObjectCount);
    write("1 0 obj");
    write("<<");
    write("/Type /Catalog");
    write("/Pages 2 0 R");
    if (m_archival) {
        write("/Metadata " + num(metadataObject()) + " 0 R");
        write("/OutputIntents [ << /Type /OutputIntent /S /GTS_PDFA1 "
              "/OutputConditionIdentifier (sRGB IEC61966-2.1) /Info (sRGB IEC61966-2.1) "
              "/DestOutputProfile " +
              num(profileObject()) + " 0 R >> ]");
    }
    write(">>");
    write("endobj");
    ++FObjectCount;

    recordOffset(1);
    write("2 0 obj");
    write("<<");
    write("/Type /Pages");
    QByteArray kids = "/Kids [ ";
    for (int k = 0; k < FPageCount; ++k)
        kids += num(qint64(m_numbersPerPage) * k + 3) + " 0 R ";
    kids += "]";
    write(kids);
    write("/Count " + num(FPageCount));
    write(">>");
    write("endobj");
}

bool TPDF::ReadJPEGHeader(const QByteArray &jpeg, int &width, int &height, int &components,
                          QString *reason)
{
    JpegFrameInfo info;
    const JpegHeaderStatus status = ::ReadJPEGHeader(
        reinterpret_cast<const std::uint8_t *>(jpeg.constData()), std::size_t(jpeg.size()), info);
    if (status != JpegHeaderStatus::Ok) {
        if (reason)
            *reason = QString::fromLatin1(jpegHeaderStatusText(status));
        return false;
    }
    width = info.width;
    height = info.height;
    components = info.components;
    return true;
}

bool TPDF::AddJPEGPage(const QString &fileName)
{
    if (fileName.isEmpty())
        return refuse(QStringLiteral("FileName is empty"));
    QString error;
    QByteArray jpeg;
    if (!PdfPageSource::readFile(fileName, jpeg, &error))
        return refuse(error);
    return addJpegData(jpeg, fileName);
}

bool TPDF::AddBitmapPage(const QString &fileName)
{
    if (fileName.isEmpty())
        return refuse(QStringLiteral("FileName is empty"));
    QString error;
    QByteArray jpeg;
    if (!PdfPageSource::bitmapPage(fileName, jpeg, &error))
        return refuse(error);
    return addJpegData(jpeg, fileName);
}

bool TPDF::acceptsPage(const QString &sourceName)
{
    if (m_finished)
        return fail(
            QStringLiteral("The PDF document has already been saved; no page can be added"));
    if (m_pagesAdded >= FPageCount)
        return fail(QStringLiteral("The PDF document was created for %1 pages; '%2' would be "
                                   "one more")
                        .arg(FPageCount)
                        .arg(sourceName));
    return true;
}

bool TPDF::addJpegData(const QByteArray &jpeg, const QString &sourceName, const PdfWords &words)
{
    if (!acceptsPage(sourceName))
        return false;
    if (m_numbersPerPage != 4)
        return refuse(QStringLiteral("'%1': a compact document takes prepared pictures only")
                          .arg(sourceName));

    int width = 0, height = 0, components = 0;
    QString reason;
    if (!ReadJPEGHeader(jpeg, width, height, components, &reason))
        return refuse(QStringLiteral("'%1': %2").arg(sourceName, reason));
    const QByteArray text = PdfTextLayer::operators(words, QSize(width, height), "F1");
    m_hasText = m_hasText || !text.isEmpty();

    ++FObjectCount;
    writePageObject(FObjectCount + 2, num(width) + ' ' + num(height), "/ImageC", !text.isEmpty());

    ++FObjectCount;
    recordOffset(FObjectCount);
    write(num(FObjectCount + 1) + " 0 obj");
    write("<<");
    write("/Type /XObject");
    write("/Subtype /Image");
    write("/Name /Im" + num(FObjectCount + 1));
    write("/Width " + num(width));
    write("/Height " + num(height));
    write("/BitsPerComponent 8");
    write("/Filter [/DCTDecode]");
    if (components == 4) {
        write("/ColorSpace /DeviceCMYK");
        // Adobe's JPEG encoders store CMYK inverted.
        write("/Decode[1 0 1 0 1 0 1 0]");
    } else if (components == 3) {
        write("/ColorSpace /DeviceRGB");
    } else {
        write("/ColorSpace /DeviceGray");
    }
    write("/Length " + num(jpeg.size()) + " >>");
    write("stream");
    if (!appendData(jpeg)) // no line feed: "endstream" follows the data directly
        return false;
    write("endstream");
    write("endobj");

    ++FObjectCount;
    recordOffset(FObjectCount);
    WriteContents(FObjectCount + 1, width, height, text);

    // The fourth number of each page is reserved and never gets an object.
    ++FObjectCount;
    ++m_pagesAdded;
    return flushStream(kStreamChunk);
}

void TPDF::writePageObject(int imageNumber, const QByteArray &mediaBox, const QByteArray &procSet,
                           bool text)
{
    recordOffset(FObjectCount);
    write(num(FObjectCount + 1) + " 0 obj");
    write("<<");
    write("/Type /Page");
    write("/Parent 2 0 R");
    write("/Resources");
    write("<<");
    write("/XObject << /Im" + num(imageNumber) + ' ' + num(imageNumber) + " 0 R >>");
    if (!text) {
        write("/ProcSet [ /PDF " + procSet + " ]");
    } else {
        write("/Font << /F1 " + num(fontObject()) + " 0 R >>");
        write("/ProcSet [ /PDF /Text " + procSet + " ]");
    }
    write(">>");
    write("/MediaBox [ 0 0 " + mediaBox + " ]");
    write("/Contents " + num(FObjectCount + 3) + " 0 R");
    write(">>");
    write("endobj");
}

bool TPDF::addImage(const PdfImage &image, const QString &sourceName, const PdfWords &words)
{
    if (!acceptsPage(sourceName))
        return false;
    if (!m_archival && m_numbersPerPage == 4)
        return refuse(QStringLiteral("'%1': prepared pictures go into archival documents only")
                          .arg(sourceName));
    if (image.width <= 0 || image.height <= 0 || image.data.isEmpty() ||
        (image.components != 1 && image.components != 3) ||
        (image.filter == PdfImage::Filter::Ccitt && image.components != 1))
        return refuse(QStringLiteral("'%1': the picture is empty").arg(sourceName));

    const QSizeF points = pagePoints(image.width, image.height, image.dpiX, image.dpiY);
    const double width = points.width(), height = points.height();
    const QByteArray text = PdfTextLayer::operators(words, QSize(image.width, image.height), "F1");
    m_hasText = m_hasText || !text.isEmpty();

    ++FObjectCount;
    writePageObject(FObjectCount + 2, real(width) + ' ' + real(height),
                    image.components == 1 ? "/ImageB" : "/ImageC", !text.isEmpty());

    ++FObjectCount;
    recordOffset(FObjectCount);
    write(num(FObjectCount + 1) + " 0 obj");
    write("<<");
    write("/Type /XObject");
    write("/Subtype /Image");
    write("/Width " + num(image.width));
    write("/Height " + num(image.height));
    write(image.filter == PdfImage::Filter::Ccitt ? "/BitsPerComponent 1" : "/BitsPerComponent 8");
    write(image.components == 1 ? "/ColorSpace /DeviceGray" : "/ColorSpace /DeviceRGB");
    switch (image.filter) {
    case PdfImage::Filter::Dct:
        write("/Filter /DCTDecode");
        break;
    case PdfImage::Filter::Flate:
        write("/Filter /FlateDecode");
        if (image.pngPredicted)
            write("/DecodeParms << /Predictor 15 /Colors " + num(image.components) +
                  " /BitsPerComponent 8 /Columns " + num(image.width) + " >>");
        break;
    case PdfImage::Filter::Ccitt:
        write("/Filter /CCITTFaxDecode");
        write("/DecodeParms << /K -1 /Columns " + num(image.width) + " /Rows " + num(image.height) +
              " >>");
        break;
    }
    write("/Length " + num(image.data.size()) + " >>");
    write("stream");
    FStream += image.data;
    write("\nendstream");
    write("endobj");

    // The picture fills the page; the words, in the picture's pixels, are scaled
    // onto it.
    QByteArray content = "q\n" + real(width) + " 0 0 " + real(height) + " 0 0 cm\n/Im" +
                         num(FObjectCount + 1) + " Do\nQ\n";
    if (!text.isEmpty()) {
        content += "q\n" + QByteArray::number(width / image.width, 'f', 6) + " 0 0 " +
                   QByteArray::number(height / image.height, 'f', 6) + " 0 0 cm\n" + text + "Q\n";
        content = deflated(content);
    }
    ++FObjectCount;
    recordOffset(FObjectCount);
    write(num(FObjectCount + 1) + " 0 obj");
    write("<< " + QByteArray(text.isEmpty() ? "" : "/Filter /FlateDecode ") + "/Length " +
          num(content.size()) + " >>");
    write("stream");
    FStream += content;
    write("\nendstream");
    write("endobj");

    FObjectCount += m_numbersPerPage - 3; // the reserved numbers, as in every document
    ++m_pagesAdded;
    return flushStream(kStreamChunk);
}

void TPDF::writeImageObject(int number, const PdfImage &image, const QByteArray &kind)
{
    recordOffset(number - 1);
    write(num(number) + " 0 obj");
    write("<<");
    write("/Type /XObject");
    write("/Subtype /Image");
    write("/Width " + num(image.width));
    write("/Height " + num(image.height));
    write(kind);
    write(image.filter == PdfImage::Filter::Ccitt ? "/Filter /CCITTFaxDecode"
                                                  : "/Filter /DCTDecode");
    if (image.filter == PdfImage::Filter::Ccitt)
        write("/DecodeParms << /K -1 /Columns " + num(image.width) + " /Rows " + num(image.height) +
              " >>");
    write("/Length " + num(image.data.size()) + " >>");
    write("stream");
    FStream += image.data;
    write("\nendstream");
    write("endobj");
}

// Seven numbers: the page, its contents, the background, the stencil mask, the text's
// colour picture and the picture kept whole; a layer the page does not have leaves
// its number free, and the last is reserved as in every document.
bool TPDF::addCompactPage(const CompactImage &page, const QString &sourceName,
                          const PdfWords &words)
{
    if (!acceptsPage(sourceName))
        return false;
    if (m_numbersPerPage != 7)
        return refuse(
            QStringLiteral("'%1': split pages go into compact documents only").arg(sourceName));
    if (page.width <= 0 || page.height <= 0 || page.background.data.isEmpty())
        return refuse(QStringLiteral("'%1': the picture is empty").arg(sourceName));

    const QSizeF points = pagePoints(page.width, page.height, page.dpiX, page.dpiY);
    const double width = points.width(), height = points.height();
    const double sx = width / page.width, sy = height / page.height;
    const QByteArray text = PdfTextLayer::operators(words, QSize(page.width, page.height), "F1");
    m_hasText = m_hasText || !text.isEmpty();

    const int first = FObjectCount + 2; // as addImage numbers its page
    const int contents = first + 1, background = first + 2, mask = first + 3,
              foreground = first + 4, picture = first + 5;
    const bool hasMask = !page.mask.isEmpty();
    const bool hasForeground = hasMask && !page.foreground.data.isEmpty();
    const bool hasPicture = !page.picture.data.isEmpty() && !page.pictureRect.isEmpty();

    recordOffset(first - 1);
    write(num(first) + " 0 obj");
    write("<<");
    write("/Type /Page");
    write("/Parent 2 0 R");
    write("/Resources");
    write("<<");
    QByteArray xobjects = "/XObject << /Im" + num(background) + ' ' + num(background) + " 0 R";
    if (hasMask)
        xobjects += " /Im" + num(mask) + ' ' + num(mask) + " 0 R";
    if (hasForeground)
        xobjects += " /Im" + num(foreground) + ' ' + num(foreground) + " 0 R";
    if (hasPicture)
        xobjects += " /Im" + num(picture) + ' ' + num(picture) + " 0 R";
    write(xobjects + " >>");
    if (!text.isEmpty())
        write("/Font << /F1 " + num(fontObject()) + " 0 R >>");
    write(text.isEmpty() ? "/ProcSet [ /PDF /ImageB /ImageC ]"
                         : "/ProcSet [ /PDF /Text /ImageB /ImageC ]");
    write(">>");
    write("/MediaBox [ 0 0 " + real(width) + ' ' + real(height) + " ]");
    write("/Contents " + num(contents) + " 0 R");
    write(">>");
    write("endobj");

    // Drawn in order: the paper, the picture kept whole, the text.
    const auto place = [&](const QRect &r) {
        return real(r.width() * sx) + " 0 0 " + real(r.height() * sy) + ' ' + real(r.x() * sx) +
               ' ' + real((page.height - r.y() - r.height()) * sy) + " cm\n";
    };
    const QRect whole(0, 0, page.width, page.height);
    QByteArray content = "q\n" + place(whole) + "/Im" + num(background) + " Do\nQ\n";
    if (hasPicture)
        content += "q\n" + place(page.pictureRect) + "/Im" + num(picture) + " Do\nQ\n";
    if (hasForeground) {
        content += "q\n" + place(whole) + "/Im" + num(foreground) + " Do\nQ\n";
    } else if (hasMask) {
        const auto channel = [](int v) { return QByteArray::number(v / 255.0, 'f', 4); };
        content += "q\n" + channel(qRed(page.textColour)) + ' ' + channel(qGreen(page.textColour)) +
                   ' ' + channel(qBlue(page.textColour)) + " rg\n" + place(whole) + "/Im" +
                   num(mask) + " Do\nQ\n";
    }
    if (!text.isEmpty())
        content += "q\n" + QByteArray::number(sx, 'f', 6) + " 0 0 " +
                   QByteArray::number(sy, 'f', 6) + " 0 0 cm\n" + text + "Q\n";
    content = deflated(content);
    recordOffset(contents - 1);
    write(num(contents) + " 0 obj");
    write("<< /Filter /FlateDecode /Length " + num(content.size()) + " >>");
    write("stream");
    FStream += content;
    write("\nendstream");
    write("endobj");

    writeImageObject(background, page.background, "/BitsPerComponent 8\n/ColorSpace /DeviceRGB");
    if (hasMask) {
        PdfImage stencil;
        stencil.data = page.mask;
        stencil.filter = PdfImage::Filter::Ccitt;
        stencil.width = page.width;
        stencil.height = page.height;
        // Group 4 decodes text as 0, the samples a stencil paints.
        writeImageObject(mask, stencil, "/ImageMask true\n/BitsPerComponent 1");
    }
    if (hasForeground)
        writeImageObject(foreground, page.foreground,
                         "/BitsPerComponent 8\n/ColorSpace /DeviceRGB\n/Mask " + num(mask) +
                             " 0 R");
    if (hasPicture)
        writeImageObject(picture, page.picture, "/BitsPerComponent 8\n/ColorSpace /DeviceRGB");

    FObjectCount += m_numbersPerPage;
    ++m_pagesAdded;
    return flushStream(kStreamChunk);
}

void TPDF::WriteContents(int number, int width, int height, const QByteArray &text)
{
    QByteArray content;
    content += "q\n";
    content += num(width) + " 0 0 " + num(height) + " 0 0 cm\n";
    content += "/Im" + num(number - 1) + " Do\n";
    content += "Q\n";
    content += text;

    write(num(number) + " 0 obj");
    write("<< /Length " + num(content.size()) + " >>");
    write("stream");
    FStream += content;
    write("endstream");
    write("endobj");
}

// Six objects after the last page's reserved number, written only when some page
// refers to them: the composite font, its CID font, descriptor, program, Unicode
// map and CID-to-glyph map.
void TPDF::WriteFont()
{
    const int font = fontObject();
    const auto begin = [this](int number) {
        // The last page's reserved number stays a free entry below these.
        FObjectCount = number;
        recordOffset(number - 1);
        write(num(number) + " 0 obj");
    };
    const auto stream = [this](const QByteArray &dictionary, const QByteArray &data) {
        write("<< " + dictionary + "/Length " + num(data.size()) + " >>");
        write("stream");
        FStream += data;
        write("\nendstream");
        write("endobj");
    };

    begin(font);
    write("<< /Type /Font /Subtype /Type0 /BaseFont /GlyphLessFont /Encoding /Identity-H");
    write("/DescendantFonts [ " + num(font + 1) + " 0 R ] /ToUnicode " + num(font + 4) + " 0 R >>");
    write("endobj");

    begin(font + 1);
    write("<< /Type /Font /Subtype /CIDFontType2 /BaseFont /GlyphLessFont");
    write("/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>");
    write("/FontDescriptor " + num(font + 2) + " 0 R /DW " + num(GlyphlessFont::kAdvance) +
          " /CIDToGIDMap " + num(font + 5) + " 0 R >>");
    write("endobj");

    begin(font + 2);
    // Ascent and descent put a word's box exactly on the em the text layer sizes.
    write("<< /Type /FontDescriptor /FontName /GlyphLessFont /Flags 5 /FontBBox [ 0 0 " +
          num(GlyphlessFont::kAdvance) + " 1000 ]");
    write("/ItalicAngle 0 /Ascent 1000 /Descent -1 /CapHeight 1000 /StemV 80 /FontFile2 " +
          num(font + 3) + " 0 R >>");
    write("endobj");

    // An archival document compresses the program and the Unicode map too (the map
    // alone is about 6 KB as text); other documents keep their known layout.
    const QByteArray program = GlyphlessFont::trueTypeProgram();
    const QByteArray filter = m_archival ? "/Filter /FlateDecode " : "";
    begin(font + 3);
    stream(filter + "/Length1 " + num(program.size()) + ' ',
           m_archival ? deflated(program) : program);
    begin(font + 4);
    const QByteArray map = GlyphlessFont::toUnicodeMap();
    stream(filter, m_archival ? deflated(map) : map);
    begin(font + 5);
    stream("/Filter /FlateDecode ", GlyphlessFont::cidToGidMap());
}

// After the font's numbers: the XMP packet, the output intent's profile and the
// Info dictionary that repeats the packet's values.
void TPDF::WriteArchiveObjects()
{
    const auto begin = [this](int number) {
        FObjectCount = number;
        recordOffset(number - 1);
        write(num(number) + " 0 obj");
    };
    const QByteArray xmp = PdfArchiveMetadata::xmp(m_archive);
    begin(metadataObject());
    write("<< /Type /Metadata /Subtype /XML /Length " + num(xmp.size()) + " >>");
    write("stream");
    FStream += xmp;
    write("\nendstream");
    write("endobj");

    const QByteArray profile = deflated(PdfArchiveMetadata::srgbProfile());
    begin(profileObject());
    write("<< /N 3 /Filter /FlateDecode /Length " + num(profile.size()) + " >>");
    write("stream");
    FStream += profile;
    write("\nendstream");
    write("endobj");

    begin(infoObject());
    write("<< " + PdfArchiveMetadata::infoEntries(m_archive) + " >>");
    write("endobj");
}

void TPDF::WriteXRef()
{
    write("xref");
    write("0 " + num(FObjectCount + 1));
    write("0000000000 65535 f ");
    for (int number = 1; number <= FObjectCount; ++number) {
        const qint64 offset = number - 1 < FOffsets.size() ? FOffsets[number - 1] : -1;
        if (offset < 0)
            write("0000000000 00001 f "); // free entry, still 20 bytes
        else
            write(num(offset).rightJustified(10, '0') + " 00000 n ");
    }
}

bool TPDF::SaveToFile(const QString &fileName)
{
    if (fileName.isEmpty())
        return fail(QStringLiteral("FileName is empty"));
    if (m_pagesAdded != FPageCount) {
        if (!m_refusal.isEmpty())
            return fail(m_refusal);
        return fail(QStringLiteral("The PDF document was created for %1 pages but has %2")
                        .arg(FPageCount)
                        .arg(m_pagesAdded));
    }
    if (FPageCount == 0)
        return fail(QStringLiteral("A PDF document needs at least one page"));

    if (!m_outName.isEmpty() && fileName != m_outName)
        return fail(QStringLiteral("The PDF document is being written to '%1', not '%2'")
                        .arg(m_outName, fileName));

    if (!m_finished) {
        if (m_hasText)
            WriteFont();
        if (m_archival)
            WriteArchiveObjects();
        const qint64 xref = position();
        if (xref > kMaxOffset)
            return fail(QStringLiteral("The PDF document is too large (%1 bytes)").arg(xref));
        recordOffset(FObjectCount);
        WriteXRef();
        write("trailer");
        write("<<");
        write("/Size " + num(FObjectCount + 1));
        write("/Root 1 0 R");
        if (m_archival) {
            write("/Info " + num(infoObject()) + " 0 R");
            // The same identifier twice: the document as first written.
            m_digest.addData(FStream);
            const QByteArray id = '<' + m_digest.result().toHex().toUpper() + '>';
            write("/ID [ " + id + ' ' + id + " ]");
        }
        write(">>");
        write("startxref");
        write(num(xref));
        FStream += "%%EOF";
        m_finished = true;
    }

    if (!m_outName.isEmpty()) {
        if (!m_out) // a write failed before; the temporary file is gone
            return fail(m_error);
        if (!flushStream(0))
            return false;
        // On the disk before it takes the name, as the document written whole is.
        const bool committed = m_out->commitReplacing();
        const QString reason = m_out->errorString();
        m_out.reset(); // removes the temporary file when it did not take the name
        if (!committed)
            return fail(QCoreApplication::translate("PageImages", "Unable to write file '%1': %2")
                            .arg(fileName, reason));
        return true;
    }

    return writeReplacing(fileName);
}

// Written under a new hidden name beside the target and renamed over it, so an
// existing document is replaced whole or left as it was, after a power cut too.
// A symbolic link under the target's name is replaced, never followed into the
// file it points to. The name is used byte for byte.
bool TPDF::writeReplacing(const QString &fileName)
{
    const QByteArray target = LocalFileName::encode(fileName);
    if (target.isEmpty() || target.endsWith('/'))
        return fail(QCoreApplication::translate("PageImages", "Unable to create file '%1': %2")
                        .arg(fileName, SystemErrorText::text(EISDIR)));
    AtomicFile out(fileName);
    if (!out.open())
        return fail(QCoreApplication::translate("PageImages", "Unable to create file '%1': %2")
                        .arg(fileName, out.errorString()));
    keepMode(out.file().handle(), target);
    if (!out.write(FStream) || !out.commitReplacing())
        return fail(QCoreApplication::translate("PageImages", "Unable to write file '%1': %2")
                        .arg(fileName, out.errorString()));
    return true;
}

void TPDF::write(const char *line)
{
    FStream += line;
    FStream += '\n';
}

void TPDF::write(const QByteArray &line)
{
    FStream += line;
    FStream += '\n';
}

void TPDF::recordOffset(int index)
{
    if (FOffsets.size() <= index)
        FOffsets.resize(qMax<qsizetype>(index + 1, FOffsets.size() * 2), -1);
    FOffsets[index] = position();
}

bool TPDF::streamTo(const QString &fileName)
{
    if (m_out || m_finished)
        return fail(QStringLiteral("The PDF document already has its file"));
    // The same hidden file beside the target as a document written whole: new, never
    // a link followed, named byte for byte.
    auto out = std::make_unique<AtomicFile>(fileName);
    if (fileName.isEmpty() || !out->open())
        return fail(QCoreApplication::translate("PageImages", "Unable to create file '%1': %2")
                        .arg(fileName, out->errorString()));
    keepMode(out->file().handle(), LocalFileName::encode(fileName));
    m_out = std::move(out);
    m_outName = fileName;
    return flushStream(0);
}

// Hands what the buffer holds to the file once it reaches atLeast bytes.
bool TPDF::flushStream(qint64 atLeast)
{
    if (!m_out || FStream.size() < atLeast || FStream.isEmpty())
        return true;
    if (!writeOut(FStream))
        return false;
    FStream.truncate(0); // keeps its capacity for the next page
    return true;
}

// A page's picture goes to the file as it is, after what the buffer holds: copying
// it into the buffer first cost as much as writing it.
bool TPDF::appendData(const QByteArray &data)
{
    if (!m_out || data.size() < kStreamChunk) {
        FStream += data;
        return true;
    }
    return flushStream(0) && writeOut(data);
}

bool TPDF::writeOut(const QByteArray &data)
{
    // Flushed at once: a full disk is reported now, with its reason.
    QFile &file = m_out->file();
    if (file.write(data) != data.size() || !file.flush()) {
        const QString reason = SystemErrorText::afterFailedWrite(file);
        m_out.reset(); // removes the temporary file
        return refuse(QCoreApplication::translate("PageImages", "Unable to write file '%1': %2")
                          .arg(m_outName, reason));
    }
    // Only an archival document names itself by a digest of its bytes.
    if (m_archival && !m_finished)
        m_digest.addData(data);
    m_streamed += data.size();
    return true;
}

bool TPDF::fail(const QString &error)
{
    m_error = error;
    return false;
}

bool TPDF::refuse(const QString &error)
{
    m_refusal = error;
    return fail(error);
}
