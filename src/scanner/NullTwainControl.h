#pragma once

#include "scanner/TTwainControl.h"

// A control without sources, for builds or runs where no scanner interface exists.
// Every command fails with a clear text instead of doing nothing.
class NullTwainControl final : public TTwainControl
{
    Q_OBJECT

public:
    explicit NullTwainControl(QObject *parent = nullptr);

    int StartDevice() override;
    void StopDevice() override;
    int sourceCount() const override { return 0; }
    QString GetSourceProductName(int) const override { return QString(); }
    int OpenDataSource() override;
    int dataSourceState() const override { return 0; }
    void SetImageLayout(float, float, float, float) override {}
    int feederAvailable() const override { return 0; }
    int feederLoaded() const override { return 0; }
    void Acquire() override;
    int numImages() const override { return 0; }
    bool SaveImage(int, const QString &) override { return false; }
    QImage GetImage(int) const override { return {}; }
    int GetImageWidth(int) const override { return 0; }
    int GetImageHeight(int) const override { return 0; }
    int IsBlankImage(int, float, float &currentNoiseLevel) override;
};
