#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QVariant>

// Option access on one open SANE handle, by the well-known option names.
// Descriptors are fetched afresh on every call because a backend may change
// them (activity, constraints) after any option is set.
class SaneOptions final
{
public:
    explicit SaneOptions(void *handle) : m_handle(handle) {}

    int find(const char *name) const; // -1 when absent
    bool isActive(const char *name) const;
    bool isSettable(const char *name) const;

    QStringList stringList(const char *name) const; // string-list constraint
    QString string(const char *name) const;
    int setString(const char *name, const QString &value);

    // Numeric options (int or fixed) as double; the unit is the option's own.
    bool number(const char *name, double *value) const;
    // Sets the nearest value the constraint allows; returns the SANE status.
    int setNumber(const char *name, double value);
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
    int control(int index, int action, void *value, int *info) const;
    void *m_handle;
};
