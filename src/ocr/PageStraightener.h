#pragma once

#include <QImage>
#include <QString>
#include <memory>

class TesseractEngine;

// What a page needs to stand upright and straight, as measured.
struct PageCorrection
{
    int quarterTurns = 0;              // clockwise quarter turns that make it upright
    float orientationConfidence = 0.f; // Tesseract's; 0 when nothing was measured
    double skewDegrees = 0.0;          // clockwise turn that straightens it, after the turn
    float skewConfidence = 0.f;        // Leptonica's; 0 when nothing was measured
    bool blank = false;                // too little ink to measure anything
};

// Turns pages upright (Tesseract's orientation detection, osd.traineddata) and
// straightens them (Leptonica's skew search). Only a confident answer changes a
// page: a blank page, a picture or noise comes back as it was. The orientation
// engine is loaded once; an object is used by one thread at a time.
class PageStraightener final
{
    Q_DISABLE_COPY_MOVE(PageStraightener)

public:
    PageStraightener();
    ~PageStraightener();

    // Loads the orientation model. False, with the reason in *error, when it is not
    // installed or cannot be loaded.
    bool init(QString *error = nullptr);

    // Below this Tesseract's orientation answer is a guess (its own "reasonably
    // confident" is 15; text pages score well above 20).
    static constexpr float MinOrientationConfidence = 15.f;
    // Leptonica's own least confidence for a deskew.
    static constexpr float MinSkewConfidence = 3.f;
    // Skews up to this are left alone: a turn would only blur the page.
    static constexpr double MinSkewDegrees = 0.1;
    // The search covers this much either way.
    static constexpr double MaxSkewDegrees = 12.0;

    // Measures page (any size and format) and fills *found. With upright, the
    // quarter turn (needs init); with straight, the skew of the page as it stands
    // after that turn.
    void measure(const QImage &page, bool upright, bool straight, PageCorrection *found);

    // The page turned and straightened as measured; a confident-enough answer only.
    // The same image when nothing is to be done.
    static QImage corrected(const QImage &page, const PageCorrection &found);
    static bool changes(const PageCorrection &found);
    static int turnsToApply(const PageCorrection &found);
    static double skewToApply(const PageCorrection &found);

    // measure, then corrected.
    QImage correct(const QImage &page, bool upright, bool straight,
                   PageCorrection *found = nullptr);

    // Clockwise quarter turns, exact, resolution swapped.
    static QImage turned(const QImage &page, int quarterTurns);
    // Turned clockwise by degrees about its centre, same size; the corners that
    // come in take the page's background colour.
    static QImage rotated(const QImage &page, double degrees);
    // The colour of the paper: the commonest light colour of the page.
    static QRgb backgroundColour(const QImage &page);

private:
    std::unique_ptr<TesseractEngine> m_osd;
    bool m_ready = false;
};
