// pagora-ocr: the text recognition helper of pagora-pro and pagora-pdf. It loads the
// languages once, then recognises the pages it is sent on its standard input, one at
// a time, until the input ends (ocr/OcrHelperProtocol.h). A page that takes too long
// or is cancelled is ended by killing the helper: Tesseract cannot be stopped while
// it finds a page's layout.

#include "ocr/OcrHelperProtocol.h"
#include "ocr/TesseractPage.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

bool readAll(int fd, void *data, std::size_t size, bool *atEnd = nullptr)
{
    auto *at = static_cast<char *>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, at + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (atEnd)
                *atEnd = n == 0 && done == 0;
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

bool writeAll(int fd, const void *data, std::size_t size)
{
    const auto *at = static_cast<const char *>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, at + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

bool reply(int fd, OcrHelperProtocol::Result result, const std::string &text)
{
    const OcrHelperProtocol::StatusHeader header{result, std::int32_t(text.size())};
    return writeAll(fd, &header, sizeof header) && writeAll(fd, text.data(), text.size());
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3 || isatty(STDIN_FILENO)) {
        std::fputs("pagora-ocr recognises text for pagora-pro and pagora-pdf, which run it;\n"
                   "it is not meant to be run by hand.\n",
                   stderr);
        return 64;
    }
    // A program started without an error stream passes none on: messages then go
    // nowhere, rather than into the replies.
    if (fcntl(STDERR_FILENO, F_GETFD) < 0 && open("/dev/null", O_WRONLY) != STDERR_FILENO)
        return 1;
    // Replies get a descriptor of their own: whatever a library prints goes to the
    // error stream, never into the replies.
    const int replies = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (replies < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        return 1;
    std::signal(SIGPIPE, SIG_DFL);

    // The program kills the helper when it is done with it; if the program itself
    // dies, the helper must not go on with a page nobody waits for. Reading a page
    // ends at the closed input anyway; this also ends a page being recognised.
    const pid_t parent = getppid();
    std::thread([parent] {
        while (getppid() == parent)
            usleep(200 * 1000);
        _exit(0);
    }).detach();

    tesseract::TessBaseAPI api;
    std::string culprit;
    if (!TesseractPage::loadLanguages(api, argv[1], argv[2], &culprit))
        return reply(replies, OcrHelperProtocol::LoadFailed, culprit) ? 0 : 1;
    if (!reply(replies, OcrHelperProtocol::Ok, {}))
        return 1;

    std::vector<unsigned char> pixels;
    std::string words;
    for (;;) {
        OcrHelperProtocol::PageHeader page;
        bool atEnd = false;
        if (!readAll(STDIN_FILENO, &page, sizeof page, &atEnd))
            return atEnd ? 0 : 1;
        if (!OcrHelperProtocol::validPage(page))
            return 1;
        pixels.resize(std::size_t(page.width) * std::size_t(page.height));
        if (!readAll(STDIN_FILENO, pixels.data(), pixels.size()))
            return 1;
        const bool ok = TesseractPage::recognise(api, pixels.data(), page.width, page.height,
                                                 page.width, page.dpi, words);
        if (!reply(replies, ok ? OcrHelperProtocol::Ok : OcrHelperProtocol::RecogniseFailed,
                   ok ? words : std::string()))
            return 1;
    }
}
