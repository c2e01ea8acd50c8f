#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QVariant>

// Option access on one open SANE handle, by the well-known option names.
// Descriptors are looked up afresh on every call because a backend may change
// them (activity, constraints) after any option is set. What every backend
// expects of a frontend is kept here: descriptor 0 is fetched before the option
// count is read, and the descriptors are fetched again after a set that answered
// SANE_INFO_RELOAD_OPTIONS, before the next control call. The network backend
// refuses every control call until then, so settings would never reach a
// scanner shared by saned.
class SaneOptions final
{
public:
    explicit SaneOptions(void *handle) : m_handle(handle) {}

    int find(const char *name) const; // -1 when absent
    bool isActive(const char *name) const;
    bool isSettable(const char *name) const;

    QStringList stringList(const char *name) const; // string-list constraint
    QString string(const char *name) const;
    // Returns the SANE status; a backend may store another value than the one given
    // (SANE_INFO_INEXACT): read it back where it matters.
    int setString(const char *name, const QString &value);

    // Numeric options (int or fixed) as double; the unit is the option's own.
    bool number(const char *name, double *value) const;
    // Sets the nearest value the constraint allows; returns the SANE status.
    int setNumber(const char *name, double value);
    // Quantisation step of a numeric option's range; 0 without one.
    double quant(const char *name) const;
    // Range of a numeric option (min, max); false without a range constraint.
    bool range(const char *name, double *min, double *max) const;
    QList<double> wordList(const char *name) const; // empty without a word list
    bool isPixelUnit(const char *name) const;

    bool boolValue(const char *name, bool *value) const;
    // Read-only boolean sensors (soft-detect, not soft-select) such as "page-loaded".
    QList<QByteArray> sensorNames() const;

    // Sets an option of any type from a QVariant (test and user overrides).
    int setFromVariant(const QByteArray &name, const QVariant &value);

private:
    int optionCount() const;
    int control(int index, int action, void *value) const;
    void *m_handle;
    // Descriptors not fetched yet by this object, or out of date after a reload.
    mutable bool m_fetchNeeded = true;
};
