#pragma once

#include <QImage>
#include <QRectF>
#include <QWidget>

class QGroupBox;
class QLabel;

class PreviewPane;
class RulerWidget;
class ScanSession;

// The middle pane: the preview image with the scan area on it, between the two
// rulers. It fits each preview to its size, keeps the area inside the image and
// reports the area's size in the current units.
class ScanAreaPane final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScanAreaPane)

public:
    // The session tells the resolution the last preview was scanned at.
    explicit ScanAreaPane(ScanSession *session, QWidget *parent = nullptr);

    bool LoadPreview(const QString &fname);
    void DrawRuler(float OurResolution = 20.78f);
    void cmb_SizeSelect(int index);
    // Corrects a proposed scan area before it is applied; DragState 0..9.
    void RBResize(const QRectF &OldLocation, QRectF &NewLocation, int DragState, bool Shift);
    // Sizes the preview and its rulers to pane (the window grew or shrank),
    // refits the preview image and keeps the scan area in inches.
    void growPreview(const QSize &pane);
    // The scan area in inches, for a scan with the size "Custom".
    QRectF areaInInches() const;

    void retranslateUi();
    void retranslateAccessible();

    int UnitsCode = 1; // 1 inches, 2 millimetres
    float PreviewResolution = 20.78f;

    // --- components, named as the rest of the program refers to them ---
    QGroupBox *gb_Preview = nullptr;
    PreviewPane *I32_Preview = nullptr;
    RulerWidget *img_TopRuler = nullptr;
    RulerWidget *img_LeftRuler = nullptr;
    QLabel *pnl_Spacer = nullptr;

signals:
    // The area's size for the status bar; customSize: the size item becomes "Custom".
    void areaResized(const QString &sizeText, bool customSize);

private:
    ScanSession *m_session;
    QImage m_previewImage;       // the last preview as read, refitted when the pane grows
    int m_previewResolution = 0; // the resolution it was scanned at
};
