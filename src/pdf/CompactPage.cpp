#include "pdf/CompactPage.h"

#include "imaging/JpegCodec.h"
#include "pdf/CcittG4.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Text is what is clearly darker than the paper around it: well below the
// paper's level, far below its noise.
constexpr double kTextRatio = 0.6;
// A pixel this close to the local paper level is paper.
constexpr int kPaperMargin = 28;
// Qualities: the background and text colour carry little detail once the text is
// out of them; a kept picture is stored at the program's page quality.
constexpr int kBackgroundQuality = 50;
constexpr int kForegroundQuality = 50;
constexpr int kPictureQuality = 60;

struct Blocks
{
    int size = 16; // pixels per block side
    int cols = 0;
    int rows = 0;
    int index(int x, int y) const { return (y / size) * cols + (x / size); }
};

QImage opaqueRgb(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB32);
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    return flat;
}

int grayOf(QRgb p)
{
    return (qRed(p) * 77 + qGreen(p) * 150 + qBlue(p) * 29) >> 8;
}

// A block map smoothed by a 3 x 3 mean, edges repeated.
std::vector<float> boxMean(const std::vector<float> &map, int cols, int rows)
{
    std::vector<float> out(map.size());
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < cols; ++x) {
            float sum = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    sum += map[size_t(qBound(0, y + dy, rows - 1) * cols +
                                      qBound(0, x + dx, cols - 1))];
            out[size_t(y * cols + x)] = sum / 9;
        }
    }
    return out;
}

// The value of a block map at a pixel, interpolated between block centres so that
// filled paper shows no block edges.
float sample(const std::vector<float> &map, const Blocks &b, double x, double y)
{
    const double fx = qBound(0.0, x / b.size - 0.5, double(b.cols - 1));
    const double fy = qBound(0.0, y / b.size - 0.5, double(b.rows - 1));
    const int x0 = int(fx), y0 = int(fy);
    const int x1 = qMin(x0 + 1, b.cols - 1), y1 = qMin(y0 + 1, b.rows - 1);
    const double ax = fx - x0, ay = fy - y0;
    const auto at = [&](int bx, int by) { return double(map[size_t(by * b.cols + bx)]); };
    return float((at(x0, y0) * (1 - ax) + at(x1, y0) * ax) * (1 - ay) +
                 (at(x0, y1) * (1 - ax) + at(x1, y1) * ax) * ay);
}

// Blocks marked as pictures, joined (a closing) and grouped into rectangles in
// pixels; specks of a few blocks are not pictures.
QVector<QRect> pictureRects(std::vector<uchar> marks, const Blocks &b, int width, int height)
{
    const int cols = b.cols, rows = b.rows;
    const auto morph = [&](const std::vector<uchar> &in, bool dilate) {
        std::vector<uchar> out(in.size());
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < cols; ++x) {
                bool any = !dilate;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int xx = x + dx, yy = y + dy;
                        const bool v = xx >= 0 && yy >= 0 && xx < cols && yy < rows
                                           ? in[size_t(yy * cols + xx)] != 0
                                           : !dilate;
                        any = dilate ? (any || v) : (any && v);
                    }
                out[size_t(y * cols + x)] = any ? 1 : 0;
            }
        return out;
    };
    marks = morph(morph(marks, true), false);

    QVector<QRect> rects;
    std::vector<int> stack;
    for (int start = 0; start < cols * rows; ++start) {
        if (marks[size_t(start)] != 1)
            continue;
        int minX = cols, minY = rows, maxX = -1, maxY = -1, count = 0;
        stack.assign(1, start);
        marks[size_t(start)] = 2;
        while (!stack.empty()) {
            const int i = stack.back();
            stack.pop_back();
            const int x = i % cols, y = i / cols;
            ++count;
            minX = qMin(minX, x), maxX = qMax(maxX, x);
            minY = qMin(minY, y), maxY = qMax(maxY, y);
            const int next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
            for (const auto &n : next) {
                if (n[0] < 0 || n[1] < 0 || n[0] >= cols || n[1] >= rows)
                    continue;
                const int j = n[1] * cols + n[0];
                if (marks[size_t(j)] == 1) {
                    marks[size_t(j)] = 2;
                    stack.push_back(j);
                }
            }
        }
        if (count < 9)
            continue;
        // One block of margin: a picture's soft edge belongs to it.
        const QRect r(
            QPoint(qMax(0, minX - 1) * b.size, qMax(0, minY - 1) * b.size),
            QPoint(qMin(width, (maxX + 2) * b.size) - 1, qMin(height, (maxY + 2) * b.size) - 1));
        rects.append(r);
    }
    return rects;
}

PdfImage jpegOf(const QImage &image, int quality)
{
    JpegCodec::EncodeOptions options;
    options.quality = quality;
    options.forceRgb = true;
    options.optimizeCoding = true;
    PdfImage out;
    out.data = JpegCodec::encode(image, options);
    out.filter = PdfImage::Filter::Dct;
    out.width = image.width();
    out.height = image.height();
    out.components = 3;
    return out;
}

} // namespace

namespace CompactPage {

bool encode(const QImage &source, double dpiX, double dpiY, CompactImage &out)
{
    out = CompactImage();
    if (source.isNull() || source.width() < 64 || source.height() < 64)
        return false;
    const QImage rgb = opaqueRgb(source);
    const int width = rgb.width(), height = rgb.height();
    const qsizetype total = qsizetype(width) * height;

    // Sizes follow the resolution; a picture without one is taken for a page of
    // about A4 height.
    double dpi = qMin(dpiX, dpiY);
    if (dpi < 100)
        dpi = qMax(width, height) / 11.69;
    dpi = qBound(100.0, dpi, 1200.0);
    Blocks b;
    b.size = qBound(8, int(std::lround(dpi / 19)), 64);
    b.cols = (width + b.size - 1) / b.size;
    b.rows = (height + b.size - 1) / b.size;
    const int nblocks = b.cols * b.rows;
    const int scale = qMax(3, int(std::lround(dpi / 100))); // background: 100 dpi or less

    // Gray, and whether the page is black and white already (stored losslessly).
    // Page-sized buffers kept by each thread for its next page: fresh ones for
    // every page cost more in page faults than the work done in them.
    thread_local std::vector<uchar> grayBuffer, textBuffer, spareBuffer;
    grayBuffer.resize(static_cast<size_t>(total));
    std::vector<uchar> &gray = grayBuffer;
    bool blackWhite = true;
    for (int y = 0; y < height; ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        uchar *g = gray.data() + qsizetype(y) * width;
        for (int x = 0; x < width; ++x) {
            const QRgb p = row[x];
            g[x] = uchar(grayOf(p));
            if (blackWhite) {
                const int r = qRed(p);
                blackWhite = r == qGreen(p) && r == qBlue(p) && (r == 0 || r == 255);
            }
        }
    }
    if (blackWhite)
        return false;

    // The paper level of each block: a high percentile, so that text in it does
    // not count.
    std::vector<float> paper(static_cast<size_t>(nblocks));
    {
        std::vector<int> hist(static_cast<size_t>(b.cols) * 64);
        for (int by = 0; by < b.rows; ++by) {
            std::fill(hist.begin(), hist.end(), 0);
            const int y1 = qMin(height, (by + 1) * b.size);
            for (int y = by * b.size; y < y1; ++y) {
                const uchar *g = gray.data() + qsizetype(y) * width;
                for (int x = 0; x < width; ++x)
                    ++hist[size_t((x / b.size) * 64 + (g[x] >> 2))];
            }
            for (int bx = 0; bx < b.cols; ++bx) {
                const int *h = hist.data() + bx * 64;
                int n = 0;
                for (int v = 0; v < 64; ++v)
                    n += h[v];
                const int want = n * 8 / 10;
                int seen = 0, v = 0;
                for (; v < 63 && seen + h[v] <= want; ++v)
                    seen += h[v];
                paper[size_t(by * b.cols + bx)] = float(v * 4 + 2);
            }
        }
    }
    std::vector<float> sorted = paper;
    std::nth_element(sorted.begin(), sorted.begin() + nblocks / 2, sorted.end());
    const float pagePaper = sorted[size_t(nblocks / 2)];
    // No light paper: a photograph, a dark page, light text on dark.
    if (pagePaper < 128)
        return false;

    // Blocks much darker than the page's paper are pictures (or dark boxes); the
    // paper level elsewhere takes the largest of its neighbours, then is smoothed.
    std::vector<uchar> pictureMarks(static_cast<size_t>(nblocks), 0);
    std::vector<float> level(static_cast<size_t>(nblocks));
    for (int i = 0; i < nblocks; ++i)
        if (paper[size_t(i)] < pagePaper - 60)
            pictureMarks[size_t(i)] = 1;
    for (int by = 0; by < b.rows; ++by)
        for (int bx = 0; bx < b.cols; ++bx) {
            float best = -1;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int x = bx + dx, y = by + dy;
                    if (x < 0 || y < 0 || x >= b.cols || y >= b.rows)
                        continue;
                    const int j = y * b.cols + x;
                    if (!pictureMarks[size_t(j)])
                        best = qMax(best, paper[size_t(j)]);
                }
            level[size_t(by * b.cols + bx)] = best < 0 ? pagePaper : best;
        }
    level = boxMean(level, b.cols, b.rows);
    // The same levels as the pixels are compared with them: text below textBelow,
    // paper from paperFrom (and certainly paper from paperNear).
    std::vector<int> textBelow(static_cast<size_t>(nblocks)),
        paperFrom(static_cast<size_t>(nblocks)), paperNear(static_cast<size_t>(nblocks));
    for (int i = 0; i < nblocks; ++i) {
        textBelow[size_t(i)] = int(std::ceil(level[size_t(i)] * kTextRatio));
        paperFrom[size_t(i)] = int(std::ceil(level[size_t(i)] - kPaperMargin));
        paperNear[size_t(i)] = int(std::ceil(level[size_t(i)] - kPaperMargin / 2));
    }

    // Pictures: blocks mostly of tones between paper and text (anti-aliased text
    // edges are a thin share of a text block; a photograph or a tinted logo is
    // mostly such tones).
    {
        std::vector<int> mid(static_cast<size_t>(nblocks), 0),
            dark(static_cast<size_t>(nblocks), 0), count(static_cast<size_t>(nblocks), 0);
        for (int y = 0; y < height; ++y) {
            const uchar *g = gray.data() + qsizetype(y) * width;
            const int rowBase = (y / b.size) * b.cols;
            for (int x = 0; x < width; ++x) {
                const int i = rowBase + x / b.size;
                ++count[size_t(i)];
                if (g[x] < textBelow[size_t(i)])
                    ++dark[size_t(i)];
                else if (g[x] < paperFrom[size_t(i)])
                    ++mid[size_t(i)];
            }
        }
        for (int i = 0; i < nblocks; ++i) {
            const double m = double(mid[size_t(i)]) / count[size_t(i)];
            const double d = double(dark[size_t(i)]) / count[size_t(i)];
            if (m > 0.35 && m > 1.5 * d)
                pictureMarks[size_t(i)] = 1;
        }
    }
    const QVector<QRect> pictures = pictureRects(pictureMarks, b, width, height);
    qint64 pictureArea = 0;
    int largest = -1;
    for (int i = 0; i < pictures.size(); ++i) {
        const qint64 area = qint64(pictures[i].width()) * pictures[i].height();
        pictureArea += area;
        if (largest < 0 || area > qint64(pictures[largest].width()) * pictures[largest].height())
            largest = i;
    }
    // Mostly picture: a photograph, not a document.
    if (pictureArea * 2 > total)
        return false;
    std::vector<uchar> inPicture(static_cast<size_t>(nblocks), 0);
    for (const QRect &r : pictures)
        for (int by = r.top() / b.size; by <= r.bottom() / b.size; ++by)
            for (int bx = r.left() / b.size; bx <= r.right() / b.size; ++bx)
                inPicture[size_t(by * b.cols + bx)] = 1;
    const QRect own = largest >= 0 ? pictures[largest] : QRect();

    // The text mask: dark against the local paper, outside pictures.
    const int stride = (width + 7) / 8;
    QByteArray packed(qsizetype(stride) * height, '\0');
    textBuffer.assign(static_cast<size_t>(total), 0);
    std::vector<uchar> &text = textBuffer;
    qsizetype textCount = 0;
    for (int y = 0; y < height; ++y) {
        const uchar *g = gray.data() + qsizetype(y) * width;
        uchar *t = text.data() + qsizetype(y) * width;
        auto *bits = reinterpret_cast<uchar *>(packed.data()) + qsizetype(y) * stride;
        const int rowBase = (y / b.size) * b.cols;
        for (int x = 0; x < width; ++x) {
            const int i = rowBase + x / b.size;
            if (inPicture[size_t(i)] && pictures.size() && [&] {
                    for (const QRect &r : pictures)
                        if (r.contains(x, y))
                            return true;
                    return false;
                }())
                continue;
            if (g[x] < textBelow[size_t(i)]) {
                t[x] = 1;
                bits[x >> 3] |= uchar(0x80 >> (x & 7));
                ++textCount;
            }
        }
    }
    // Mostly dark outside pictures: not text on paper.
    if (textCount * 100 > total * 35)
        return false;

    // The text's colour from the inside of its strokes, darker pixels weighing
    // more (the optics mix every stroke with the paper), per cell of the
    // foreground and for the page.
    const int fgCell = 2 * scale;
    const int fgW = (width + fgCell - 1) / fgCell, fgH = (height + fgCell - 1) / fgCell;
    thread_local std::vector<qint64> fgSum; // r, g, b, weight per cell
    fgSum.assign(static_cast<size_t>(fgW) * fgH * 4, 0);
    qint64 sumR = 0, sumG = 0, sumB = 0, cores = 0;
    for (int y = 0; y < height; ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        const uchar *g = gray.data() + qsizetype(y) * width;
        const uchar *t = text.data() + qsizetype(y) * width;
        const int rowBase = (y / b.size) * b.cols;
        for (int x = 0; x < width; ++x) {
            if (!t[x])
                continue;
            const int depth = textBelow[size_t(rowBase + x / b.size)] - g[x];
            const qint64 w = qint64(depth) * depth;
            const QRgb p = row[x];
            qint64 *s = fgSum.data() + ((y / fgCell) * fgW + x / fgCell) * 4;
            s[0] += w * qRed(p), s[1] += w * qGreen(p), s[2] += w * qBlue(p), s[3] += w;
            sumR += w * qRed(p), sumG += w * qGreen(p), sumB += w * qBlue(p), cores += w;
        }
    }
    if (cores > 0)
        out.textColour = qRgb(int(sumR / cores), int(sumG / cores), int(sumB / cores));
    bool oneColour = true;
    if (cores > 0) {
        // One colour when hardly any stroke strays far from the page's mean.
        qint64 stray = 0;
        for (size_t c = 0; c < fgSum.size(); c += 4) {
            const qint64 n = fgSum[c + 3];
            if (n == 0)
                continue;
            const int dr = int(fgSum[c] / n) - qRed(out.textColour);
            const int dg = int(fgSum[c + 1] / n) - qGreen(out.textColour);
            const int db = int(fgSum[c + 2] / n) - qBlue(out.textColour);
            if (qMax(qAbs(dr), qMax(qAbs(dg), qAbs(db))) > 48)
                stray += n;
        }
        oneColour = stray * 100 < cores;
    }
    if (!oneColour) {
        // Empty cells take their neighbours' colour, so the JPEG has no edges
        // where the stencil shows it.
        QImage fg(fgW, fgH, QImage::Format_RGB32);
        std::vector<uchar> known(static_cast<size_t>(fgW) * fgH, 0);
        for (int y = 0; y < fgH; ++y)
            for (int x = 0; x < fgW; ++x) {
                const qint64 *s = fgSum.data() + (y * fgW + x) * 4;
                if (s[3] > 0) {
                    fg.setPixel(x, y, qRgb(int(s[0] / s[3]), int(s[1] / s[3]), int(s[2] / s[3])));
                    known[size_t(y * fgW + x)] = 1;
                } else {
                    fg.setPixel(x, y, out.textColour);
                }
            }
        for (int pass = 0; pass < 3; ++pass) {
            std::vector<uchar> next = known;
            for (int y = 0; y < fgH; ++y)
                for (int x = 0; x < fgW; ++x) {
                    if (known[size_t(y * fgW + x)])
                        continue;
                    int r = 0, g = 0, bl = 0, n = 0;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx) {
                            const int xx = x + dx, yy = y + dy;
                            if (xx < 0 || yy < 0 || xx >= fgW || yy >= fgH ||
                                !known[size_t(yy * fgW + xx)])
                                continue;
                            const QRgb p = fg.pixel(xx, yy);
                            r += qRed(p), g += qGreen(p), bl += qBlue(p), ++n;
                        }
                    if (n > 0) {
                        fg.setPixel(x, y, qRgb(r / n, g / n, bl / n));
                        next[size_t(y * fgW + x)] = 1;
                    }
                }
            known.swap(next);
        }
        out.foreground = jpegOf(fg, kForegroundQuality);
        if (out.foreground.data.isEmpty())
            return false;
    }

    // The background: text and its anti-aliased edge left out, each cell the
    // mean of the rest; a cell of text only, and paper within its noise, take the
    // smoothed paper colour around them (no ghosts of letters, no blotches).
    const int radius = qMax(1, int(std::lround(dpi / 150)));
    spareBuffer.assign(static_cast<size_t>(total), 0);
    std::vector<uchar> &across = spareBuffer;
    for (int y = 0; y < height; ++y) {
        const uchar *t = text.data() + qsizetype(y) * width;
        uchar *e = across.data() + qsizetype(y) * width;
        for (int x = 0; x < width; ++x)
            if (t[x])
                for (int dx = qMax(0, x - radius); dx <= qMin(width - 1, x + radius); ++dx)
                    e[dx] = 1;
    }
    {
        // Down the columns, row by row (a column walk would miss the cache).
        std::fill(text.begin(), text.end(), 0);
        for (int y = 0; y < height; ++y) {
            uchar *e = text.data() + qsizetype(y) * width;
            for (int dy = qMax(0, y - radius); dy <= qMin(height - 1, y + radius); ++dy) {
                const uchar *a = across.data() + qsizetype(dy) * width;
                int x = 0;
                for (; x + 8 <= width; x += 8) {
                    quint64 u, v;
                    std::memcpy(&u, e + x, 8);
                    std::memcpy(&v, a + x, 8);
                    u |= v;
                    std::memcpy(e + x, &u, 8);
                }
                for (; x < width; ++x)
                    e[x] |= a[x];
            }
        }
    }
    // The text buffer now holds what the background leaves out.
    const std::vector<uchar> &excluded = text;

    // The paper's colour per block, from its paper pixels.
    std::vector<float> paperR(static_cast<size_t>(nblocks), 0),
        paperG(static_cast<size_t>(nblocks), 0), paperB(static_cast<size_t>(nblocks), 0);
    {
        std::vector<qint64> sums(static_cast<size_t>(nblocks) * 4, 0);
        for (int y = 0; y < height; ++y) {
            const auto *row = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
            const uchar *g = gray.data() + qsizetype(y) * width;
            const uchar *e = excluded.data() + qsizetype(y) * width;
            const int rowBase = (y / b.size) * b.cols;
            for (int x = 0; x < width; ++x) {
                const int i = rowBase + x / b.size;
                // Close to the paper level only: the optics darken the paper
                // beside every letter a little.
                if (e[x] || g[x] < paperNear[size_t(i)])
                    continue;
                qint64 *s = sums.data() + i * 4;
                s[0] += qRed(row[x]), s[1] += qGreen(row[x]), s[2] += qBlue(row[x]), ++s[3];
            }
        }
        qint64 tr = 0, tg = 0, tb = 0, tn = 0;
        for (int i = 0; i < nblocks; ++i) {
            const qint64 *s = sums.data() + i * 4;
            tr += s[0], tg += s[1], tb += s[2], tn += s[3];
        }
        const float meanR = tn ? float(tr) / tn : pagePaper,
                    meanG = tn ? float(tg) / tn : pagePaper,
                    meanB = tn ? float(tb) / tn : pagePaper;
        for (int i = 0; i < nblocks; ++i) {
            const qint64 *s = sums.data() + i * 4;
            const bool enough = s[3] >= b.size * b.size / 8 && !inPicture[size_t(i)];
            paperR[size_t(i)] = enough ? float(s[0]) / s[3] : meanR;
            paperG[size_t(i)] = enough ? float(s[1]) / s[3] : meanG;
            paperB[size_t(i)] = enough ? float(s[2]) / s[3] : meanB;
        }
        for (int pass = 0; pass < 3; ++pass) {
            paperR = boxMean(paperR, b.cols, b.rows);
            paperG = boxMean(paperG, b.cols, b.rows);
            paperB = boxMean(paperB, b.cols, b.rows);
        }
    }

    const int bgW = (width + scale - 1) / scale, bgH = (height + scale - 1) / scale;
    QImage bg(bgW, bgH, QImage::Format_RGB32);
    for (int cy = 0; cy < bgH; ++cy) {
        auto *outRow = reinterpret_cast<QRgb *>(bg.scanLine(cy));
        const int y0 = cy * scale, y1 = qMin(height, y0 + scale);
        for (int cx = 0; cx < bgW; ++cx) {
            const int x0 = cx * scale, x1 = qMin(width, x0 + scale);
            const double px = (x0 + x1) / 2.0, py = (y0 + y1) / 2.0;
            const int fr = int(sample(paperR, b, px, py) + 0.5f);
            const int fgc = int(sample(paperG, b, px, py) + 0.5f);
            const int fb = int(sample(paperB, b, px, py) + 0.5f);
            QRgb value = qRgb(fr, fgc, fb);
            // Under the picture kept whole nothing shows.
            if (!own.isNull() && own.contains(int(px), int(py))) {
                outRow[cx] = value;
                continue;
            }
            int r = 0, g = 0, bl = 0, n = 0;
            for (int y = y0; y < y1; ++y) {
                const auto *row = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
                const uchar *e = excluded.data() + qsizetype(y) * width;
                for (int x = x0; x < x1; ++x) {
                    if (e[x])
                        continue;
                    r += qRed(row[x]), g += qGreen(row[x]), bl += qBlue(row[x]), ++n;
                }
            }
            if (n * 3 >= (x1 - x0) * (y1 - y0)) {
                r /= n, g /= n, bl /= n;
                const bool paperLike = qAbs(r - fr) < kPaperMargin &&
                                       qAbs(g - fgc) < kPaperMargin &&
                                       qAbs(bl - fb) < kPaperMargin &&
                                       !inPicture[size_t(b.index(qMin(int(px), width - 1),
                                                                 qMin(int(py), height - 1)))];
                if (!paperLike)
                    value = qRgb(r, g, bl);
            }
            outRow[cx] = value;
        }
    }

    out.background = jpegOf(bg, kBackgroundQuality);
    if (out.background.data.isEmpty())
        return false;
    if (textCount > 0) {
        out.mask = CcittG4::encode(packed, width, height);
        if (out.mask.isEmpty())
            return false;
    }
    if (!own.isNull()) {
        // The paper around the picture takes the smoothed paper colour, as the
        // background's does, so the picture's box does not show.
        QImage picture = rgb.copy(own);
        for (int y = 0; y < picture.height(); ++y) {
            auto *row = reinterpret_cast<QRgb *>(picture.scanLine(y));
            const int py = own.top() + y;
            for (int x = 0; x < picture.width(); ++x) {
                const int px = own.left() + x;
                if (pictureMarks[size_t(b.index(px, py))])
                    continue;
                const int pr = int(sample(paperR, b, px, py) + 0.5f);
                const int pg = int(sample(paperG, b, px, py) + 0.5f);
                const int pb = int(sample(paperB, b, px, py) + 0.5f);
                const QRgb p = row[x];
                if (qAbs(qRed(p) - pr) < kPaperMargin / 2 &&
                    qAbs(qGreen(p) - pg) < kPaperMargin / 2 &&
                    qAbs(qBlue(p) - pb) < kPaperMargin / 2)
                    row[x] = qRgb(pr, pg, pb);
            }
        }
        out.picture = jpegOf(picture, kPictureQuality);
        if (out.picture.data.isEmpty())
            return false;
        out.pictureRect = own;
    }
    out.width = width;
    out.height = height;
    out.dpiX = dpiX;
    out.dpiY = dpiY;
    return true;
}

} // namespace CompactPage
