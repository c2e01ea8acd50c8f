#include "PdfTestSupport.h"
#include "pdf/JpegHeader.h"

#include <QtTest>
#include <vector>

using namespace PdfTestSupport;

Q_DECLARE_METATYPE(JpegHeaderStatus)

class TestJpegHeader : public QObject
{
    Q_OBJECT

private:
    static JpegHeaderStatus scan(const QByteArray &bytes, JpegFrameInfo &info)
    {
        // An exact-size heap copy, so that a read past the end is a real overrun
        // that the sanitizers and the fuzz build can see.
        std::vector<std::uint8_t> exact(bytes.begin(), bytes.end());
        return ReadJPEGHeader(exact.empty() ? nullptr : exact.data(), exact.size(), info);
    }

private slots:
    void scan_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<JpegHeaderStatus>("status");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("components");

        const QByteArray soi = word(0xFFD8);
        const auto ok = JpegHeaderStatus::Ok;
        QTest::newRow("baseline rgb") << fakeJpeg(1700, 2200, 3) << ok << 1700 << 2200 << 3;
        QTest::newRow("progressive") << fakeJpeg(640, 480, 3, 300, 0xFFC2) << ok << 640 << 480 << 3;
        QTest::newRow("cmyk") << fakeJpeg(10, 20, 4) << ok << 10 << 20 << 4;
        QTest::newRow("gray") << fakeJpeg(31, 7, 1) << ok << 31 << 7 << 1;
        QTest::newRow("largest size") << fakeJpeg(65535, 65535, 3) << ok << 65535 << 65535 << 3;

        QByteArray many = soi;
        for (int i = 0; i < 300; ++i)
            many += segment(0xFFE1 + i % 14, i % 97) + segment(0xFFFE, 3, char(0xFF));
        many += segment(0xFFDB, 130) + segment(0xFFC4, 28) + frame(0xFFC0, 123, 45, 3);
        QTest::newRow("many segments before the frame") << many << ok << 123 << 45 << 3;

        // Only baseline and progressive frames count; others are skipped by length.
        const QByteArray otherFrames =
            soi + frame(0xFFC1, 9, 9, 3) + frame(0xFFC3, 8, 8, 1) + frame(0xFFC2, 300, 200, 1);
        QTest::newRow("other frame types skipped") << otherFrames << ok << 300 << 200 << 1;

        const auto refused = [](const char *name, const QByteArray &bytes, JpegHeaderStatus s) {
            QTest::newRow(name) << bytes << s << 0 << 0 << 0;
        };
        refused("empty", QByteArray(), JpegHeaderStatus::Truncated);
        refused("one byte", QByteArray("\xFF", 1), JpegHeaderStatus::Truncated);
        refused("png signature", QByteArray("\x89PNG\r\n\x1a\n"), JpegHeaderStatus::NoStartOfImage);
        refused("bmp", QByteArray("BM6\0\0\0"), JpegHeaderStatus::NoStartOfImage);
        refused("start of image only", soi, JpegHeaderStatus::Truncated);
        refused("end of image before frame", soi + segment(0xFFE0, 14) + word(0xFFD9),
                JpegHeaderStatus::NoFrame);
        refused("fill marker before frame", soi + word(0xFFFF) + frame(0xFFC0, 5, 5, 3),
                JpegHeaderStatus::NoFrame);
        refused("segment longer than file", soi + word(0xFFE0) + word(5000) + QByteArray(40, 0),
                JpegHeaderStatus::Truncated);
        refused("segment length zero", soi + word(0xFFE0) + word(0) + frame(0xFFC0, 5, 5, 3),
                JpegHeaderStatus::BadSegmentLength);
        refused("segment length one", soi + word(0xFFFE) + word(1),
                JpegHeaderStatus::BadSegmentLength);
        refused("frame cut short", (soi + frame(0xFFC0, 50, 60, 3)).left(8),
                JpegHeaderStatus::Truncated);
        refused("two components", soi + frame(0xFFC0, 5, 5, 2),
                JpegHeaderStatus::UnsupportedComponents);
        refused("no components", soi + frame(0xFFC0, 5, 5, 0),
                JpegHeaderStatus::UnsupportedComponents);
        refused("zero height", soi + frame(0xFFC2, 5, 0, 3), JpegHeaderStatus::EmptyImage);
        refused("zero width", soi + frame(0xFFC0, 0, 5, 1), JpegHeaderStatus::EmptyImage);
    }

    void scan()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(JpegHeaderStatus, status);

        JpegFrameInfo info;
        QCOMPARE(this->scan(bytes, info), status);
        if (status == JpegHeaderStatus::Ok) {
            QTEST(info.width, "width");
            QTEST(info.height, "height");
            QTEST(info.components, "components");
        } else {
            QVERIFY(QByteArray(jpegHeaderStatusText(status)).size() > 10);
        }
    }

    // A file cut anywhere before the end of its frame header is refused, never read
    // beyond its end.
    void everyTruncationRefused()
    {
        const QByteArray full = fakeJpeg(800, 600, 3, 200);
        const int frameEnd = int(full.indexOf(QByteArray("\xFF\xC0", 2))) + 10;
        for (int size = 0; size < frameEnd; ++size) {
            JpegFrameInfo info;
            QVERIFY2(scan(full.left(size), info) != JpegHeaderStatus::Ok,
                     qPrintable(QString::number(size)));
        }
        JpegFrameInfo info;
        QCOMPARE(scan(full.left(frameEnd), info), JpegHeaderStatus::Ok);
    }
};

QTEST_GUILESS_MAIN(TestJpegHeader)
#include "tst_jpegheader.moc"
