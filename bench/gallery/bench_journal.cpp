// Times what one change of a long list costs the thread that records it in the
// page journal: a delete, a move, a rename, a turn, and a change the journal
// does not hold (a thumbnail), each on a list of 1000 pages by default.
#include "pages/PageJournal.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

template<typename T, typename = void>
struct HasCompaction : std::false_type
{
};
template<typename T>
struct HasCompaction<T, std::void_t<decltype(std::declval<T &>().waitForCompaction())>>
    : std::true_type
{
};

template<typename T>
void waitForCompaction(T &journal)
{
    if constexpr (HasCompaction<T>::value)
        journal.waitForCompaction();
}

PageEntry page(int n)
{
    PageEntry e;
    e.caption = QStringLiteral("Pagora_%1.jpg").arg(n, 4, 10, QLatin1Char('0'));
    e.pageFile = QStringLiteral("/home/user/Documents/Scans/") + e.caption;
    e.workingCopy = QStringLiteral("/tmp/pagora-user/Pagora_%1.bmp").arg(n);
    e.size = QSize(4960, 7016);
    e.dpi = 600;
    return e;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int pages = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 50;
    QTemporaryDir dir(argc > 3 ? QString::fromLocal8Bit(argv[3]) + QStringLiteral("/journal-XXXXXX")
                               : QDir::tempPath() + QStringLiteral("/journal-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "no folder\n");
        return 1;
    }
    PageJournal journal(dir.path());
    QList<PageEntry> list;
    int made = 0;
    for (; made < pages; ++made) {
        list.append(page(made));
        if (!journal.append(list.last())) {
            std::fprintf(stderr, "%s\n", qPrintable(journal.errorString()));
            return 1;
        }
    }
    const qint64 fresh = QFileInfo(journal.path()).size();
    std::printf("%d pages (journal %lld bytes), %d runs each, in %s\n", pages, fresh, runs,
                qPrintable(dir.path()));

    const std::vector<std::pair<const char *, std::function<void(int)>>> changes{
        {"delete one page",
         [&](int i) {
             list.removeAt(i % list.size());
             list.append(page(made++)); // the same length for the next run, as a scan adds
         }},
        {"move one page", [&](int i) { list.move(i % list.size(), (i * 7 + 3) % list.size()); }},
        {"rename one page",
         [&](int i) {
             PageEntry &e = list[i % list.size()];
             e.caption = QStringLiteral("Renamed %1.jpg").arg(i);
             e.pageFile = QStringLiteral("/home/user/Documents/Scans/") + e.caption;
         }},
        {"turn one page", [&](int i) { list[i % list.size()].size.transpose(); }},
        {"thumbnail only",
         [&](int i) { list[i % list.size()].thumbnail = QImage(4, 3, QImage::Format_RGB888); }},
    };
    for (const auto &[name, change] : changes) {
        std::vector<double> ms;
        for (int i = 0; i < runs; ++i) {
            change(i * 37 + 11);
            QElapsedTimer clock;
            clock.start();
            if (!journal.rewrite(list)) {
                std::fprintf(stderr, "%s\n", qPrintable(journal.errorString()));
                return 1;
            }
            ms.push_back(double(clock.nsecsElapsed()) / 1e6);
        }
        std::sort(ms.begin(), ms.end());
        std::printf("%-16s median %8.3f ms   max %8.3f ms\n", name, ms[ms.size() / 2], ms.back());
    }
    QElapsedTimer clock;
    clock.start();
    waitForCompaction(journal);
    std::printf("journal at the end: %lld bytes, %zu pages read back (waited %.1f ms for a "
                "compaction)\n",
                QFileInfo(journal.path()).size(),
                size_t(PageJournal::read(journal.path()).pages.size()),
                double(clock.nsecsElapsed()) / 1e6);
    journal.remove();
    return 0;
}
