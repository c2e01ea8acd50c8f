#pragma once

#include "pages/PagePipeline.h"

#include <QImage>
#include <memory>

class AtomicFile;
class PageJournal;
class PageReservations;

// One page's work in two halves, so that the wait for the disk of one page can
// run beside the encoding of the next. write() does what needs the processor:
// both files encoded into hidden new files (their writeback started), the
// blank test, the thumbnail. settle() does what waits for the disk: each file
// synced and put under its name without replacing another (a clash gives the
// next free name), the folder synced, the journal line written. Nothing is
// under a final name, and nothing may be listed, before settle().
namespace PageStages {

struct WrittenPage
{
    WrittenPage();
    ~WrittenPage(); // an unsettled page leaves no hidden file behind
    WrittenPage(WrittenPage &&) noexcept;
    WrittenPage &operator=(WrittenPage &&) noexcept;

    PageJob job;
    PageResult result;                       // the facts known so far (write failures, blank)
    std::unique_ptr<AtomicFile> pageFile;    // written, not named; null when writing failed
    std::unique_ptr<AtomicFile> workingCopy; // likewise; null too when it is the page file
    bool oneFile = false;                    // the page file serves as the working copy
    bool thumbnailMade = false;
};

WrittenPage write(const PageJob &job);
// Names are reserved in reservations (or not at all) and the line written
// ahead to journal.
PageResult settle(WrittenPage &page, PageReservations *reservations, PageJournal *journal);

} // namespace PageStages
