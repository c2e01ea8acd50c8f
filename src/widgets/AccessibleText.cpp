#include "widgets/AccessibleText.h"

#include <QWidget>

namespace AccessibleText {

QString fromCaption(const QString &caption)
{
    QString name;
    name.reserve(caption.size());
    for (int i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&')) {
            if (i + 1 < caption.size() && caption.at(i + 1) == QLatin1Char('&'))
                name += caption.at(++i);
            continue;
        }
        name += caption.at(i);
    }
    name = name.trimmed();
    if (name.endsWith(QLatin1Char(':')))
        name.chop(1);
    return name.trimmed();
}

void set(QWidget *widget, const QString &caption, const QString &description)
{
    widget->setAccessibleName(fromCaption(caption));
    if (!description.isEmpty())
        widget->setAccessibleDescription(description);
}

} // namespace AccessibleText
