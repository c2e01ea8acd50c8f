#include "scanner/SaneOptions.h"

#include "scanner/ScanRules.h"
#include "scanner/ScannerLog.h"

#include <cstring>
#include <sane/sane.h>
#include <vector>

namespace {

const SANE_Option_Descriptor *descriptor(void *handle, int index)
{
    return sane_get_option_descriptor(static_cast<SANE_Handle>(handle), index);
}

double fromWord(const SANE_Option_Descriptor *d, SANE_Word w)
{
    return d->type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : double(w);
}

SANE_Word toWord(const SANE_Option_Descriptor *d, double v)
{
    return d->type == SANE_TYPE_FIXED ? SANE_FIX(v) : SANE_Word(qRound(v));
}

} // namespace

int SaneOptions::control(int index, int action, void *value) const
{
    if (m_fetchNeeded) {
        // Any descriptor call fetches the whole set where the backend caches it.
        descriptor(m_handle, 0);
        m_fetchNeeded = false;
    }
    SANE_Int info = 0;
    const SANE_Status status = sane_control_option(static_cast<SANE_Handle>(m_handle), index,
                                                   SANE_Action(action), value, &info);
    if (status != SANE_STATUS_GOOD) {
        qCDebug(lcScanner) << "option" << index << "action" << action
                           << "failed:" << sane_strstatus(status);
    } else if (info & SANE_INFO_RELOAD_OPTIONS) {
        // Descriptor pointers taken before this call are not to be used any more.
        m_fetchNeeded = true;
    }
    return status;
}

int SaneOptions::optionCount() const
{
    // Descriptor 0 first: a backend that caches the descriptors (net) fetches them
    // here and refuses the value until it has.
    const SANE_Option_Descriptor *d = descriptor(m_handle, 0);
    m_fetchNeeded = false;
    if (!d)
        return 0;
    SANE_Int count = 0;
    if (control(0, SANE_ACTION_GET_VALUE, &count) != SANE_STATUS_GOOD)
        return 0;
    return count;
}

int SaneOptions::find(const char *name) const
{
    const int count = optionCount();
    for (int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor *d = descriptor(m_handle, i);
        if (d && d->name && std::strcmp(d->name, name) == 0)
            return i;
    }
    return -1;
}

bool SaneOptions::isActive(const char *name) const
{
    const int i = find(name);
    return i > 0 && SANE_OPTION_IS_ACTIVE(descriptor(m_handle, i)->cap);
}

bool SaneOptions::isSettable(const char *name) const
{
    const int i = find(name);
    if (i <= 0)
        return false;
    const SANE_Int cap = descriptor(m_handle, i)->cap;
    return SANE_OPTION_IS_ACTIVE(cap) && SANE_OPTION_IS_SETTABLE(cap);
}

QStringList SaneOptions::stringList(const char *name) const
{
    QStringList list;
    const int i = find(name);
    if (i <= 0)
        return list;
    const SANE_Option_Descriptor *d = descriptor(m_handle, i);
    if (d->type != SANE_TYPE_STRING || d->constraint_type != SANE_CONSTRAINT_STRING_LIST)
        return list;
    for (const SANE_String_Const *s = d->constraint.string_list; s && *s; ++s)
        list << QString::fromUtf8(*s);
    return list;
}

QString SaneOptions::string(const char *name) const
{
    const int i = find(name);
    if (i <= 0)
        return {};
    const SANE_Option_Descriptor *d = descriptor(m_handle, i);
    if (d->type != SANE_TYPE_STRING || !SANE_OPTION_IS_ACTIVE(d->cap) || d->size <= 0)
        return {};
    std::vector<char> buffer(size_t(d->size) + 1, '\0');
    if (control(i, SANE_ACTION_GET_VALUE, buffer.data()) != SANE_STATUS_GOOD)
        return {};
    return QString::fromUtf8(buffer.data());
}

int SaneOptions::setString(const char *name, const QString &value)
{
    const int i = find(name);
    if (i <= 0)
        return SANE_STATUS_UNSUPPORTED;
    const SANE_Option_Descriptor *d = descriptor(m_handle, i);
    if (d->type != SANE_TYPE_STRING)
        return SANE_STATUS_INVAL;
    QByteArray bytes = value.toUtf8();
    // The backend may read up to the option's size; never hand it a shorter buffer.
    if (bytes.size() >= d->size)
        return SANE_STATUS_INVAL;
    bytes.append(QByteArray(d->size - bytes.size(), '\0'));
    return control(i, SANE_ACTION_SET_VALUE, bytes.data());
}

bool SaneOptions::number(const char *name, double *value) const
{
    const int i = find(name);
    if (i <= 0)
        return false;
    const SANE_Option_Descriptor *d = descriptor(m_handle, i);
    if ((d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED) ||
        !SANE_OPTION_IS_ACTIVE(d->cap) || d->size < int(sizeof(SANE_Word)))
        return false;
    std::vector<SANE_Word> words(size_t(d->size) / sizeof(SANE_Word), 0);
    if (control(i, SANE_ACTION_GET_VALUE, words.data()) != SANE_STATUS_GOOD)
        return false;
    *value = fromWord(d, words.front());
    return true;
}

int SaneOptions::setNumber(const char *name, double value)
{
    const int i = find(name);
    if (i <= 0)
        return SANE_STATUS_UNSUPPORTED;
    const SANE_Option_Descriptor *d = descriptor(m_handle, i);
    if (d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED)
        return SANE_STATUS_INVAL;
    if (d->constraint_type == SANE_CONSTRAINT_RANGE) {
        const SANE_Range *r = d->constraint.range;
        value = ScanRules::nearestInRange(value, fromWord(d, r->min), fromWord(d, r->max),
                                          fromWord(d, r->quant));
    } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST) {
        value = ScanRules::nearestInList(value, wordList(name));
    }
    // Array options (a value per channel) take the same value everywhere.
    std::vector<SANE_Word> words(std::max<size_t>(1, size_t(d->size) / sizeof(SANE_Word)),
                                 toWord(d, value));
    return control(i, SANE_ACTION_SET_VALUE, words.data());
}

bool SaneOptions::range(const char *name, double *min, double *max) const
{
    const int i = find(name);
    if (i <= 0)
        return false;
    const SANE_Option_Descriptor *d = descriptor(m_handle, i);
    if (d->constraint_type != SANE_CONSTRAINT_RANGE)
        return false;
    *min = fromWord(d, d->constraint.range->min);
    *max = fromWord(d, d->constraint.range->max);
    return true;
}

double SaneOptions::quant(const char *name) const
{
    const int i = find(name);
    if (i <= 0)
        return 0;
    const SANE_Option_Descriptor *d = descriptor(m_handle, i);
    if (d->constraint_type != SANE_CONSTRAINT_RANGE)
        return 0;
    return fromWord(d, d->constraint.range->quant);
}

QList<double> SaneOptions::wordList(const char *name) const
{
    QList<double> list;
    const int i = find(name);
    if (i <= 0)
        return list;
    const SANE_Option_Descriptor *d = descriptor(m_handle, i);
    if (d->constraint_type != SANE_CONSTRAINT_WORD_LIST)
        return list;
    const SANE_Word *w = d->constraint.word_list;
    for (int k = 1; k <= w[0]; ++k)
        list << fromWord(d, w[k]);
    return list;
}

bool SaneOptions::isPixelUnit(const char *name) const
{
    const int i = find(name);
    return i > 0 && descriptor(m_handle, i)->unit == SANE_UNIT_PIXEL;
}

bool SaneOptions::boolValue(const char *name, bool *value) const
{
    const int i = find(name);
    if (i <= 0)
        return false;
    const SANE_Option_Descriptor *d = descriptor(m_handle, i);
    if (d->type != SANE_TYPE_BOOL || !SANE_OPTION_IS_ACTIVE(d->cap))
        return false;
    SANE_Bool b = SANE_FALSE;
    if (control(i, SANE_ACTION_GET_VALUE, &b) != SANE_STATUS_GOOD)
        return false;
    *value = b == SANE_TRUE;
    return true;
}

QList<QByteArray> SaneOptions::sensorNames() const
{
    QList<QByteArray> names;
    const int count = optionCount();
    for (int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor *d = descriptor(m_handle, i);
        if (d && d->name && d->type == SANE_TYPE_BOOL && (d->cap & SANE_CAP_SOFT_DETECT) &&
            !(d->cap & SANE_CAP_SOFT_SELECT))
            names << QByteArray(d->name);
    }
    return names;
}

int SaneOptions::setFromVariant(const QByteArray &name, const QVariant &value)
{
    const int i = find(name.constData());
    if (i <= 0)
        return SANE_STATUS_UNSUPPORTED;
    const SANE_Option_Descriptor *d = descriptor(m_handle, i);
    switch (d->type) {
    case SANE_TYPE_BOOL: {
        SANE_Bool b = value.toBool() ? SANE_TRUE : SANE_FALSE;
        return control(i, SANE_ACTION_SET_VALUE, &b);
    }
    case SANE_TYPE_INT:
    case SANE_TYPE_FIXED:
        return setNumber(name.constData(), value.toDouble());
    case SANE_TYPE_STRING:
        return setString(name.constData(), value.toString());
    case SANE_TYPE_BUTTON:
        return control(i, SANE_ACTION_SET_VALUE, nullptr);
    default:
        return SANE_STATUS_UNSUPPORTED;
    }
}
