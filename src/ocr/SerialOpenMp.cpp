// Linked into the recognition helper (pagora-ocr) only.
//
// Tesseract's networks open an OpenMP parallel region for every time step of every
// text line: a few hundred thousand regions a page. The helper recognises on one
// thread by design (pages run in parallel in helpers of their own), yet libgomp
// still builds a team of one for each region and ends it at a barrier whose last
// arrival always makes a futex system call: about a sixth of a page's processor
// time on a virtual machine, for nothing. These definitions take the place of the
// libgomp entry points that GCC's OpenMP code calls for parallel regions and
// sections (its documented ABI) and run each region straight on the calling thread.
// No team ever exists, so within a region omp_get_num_threads() is 1 and
// omp_get_thread_num() 0, and a parallel loop's one thread takes every iteration;
// the other constructs (loops, single, critical, tasks) work on libgomp's own path
// for code outside any team. The sections entry points are all defined here, as
// they must not mix with libgomp's, which keep their state in the team.

namespace {

// The sections construct being run on this thread: the next section to hand out
// (numbered from 1) and how many there are.
struct Sections
{
    unsigned next = 1;
    unsigned count = 0;
};

thread_local Sections current;

unsigned nextSection()
{
    return current.next <= current.count ? current.next++ : 0;
}

} // namespace

extern "C" {

void GOMP_parallel(void (*fn)(void *), void *data, unsigned, unsigned)
{
    fn(data);
}

void GOMP_parallel_sections(void (*fn)(void *), void *data, unsigned, unsigned count, unsigned)
{
    // A section may itself run sections: the outer ones go on where they were.
    const Sections outer = current;
    current = Sections{1, count};
    fn(data);
    current = outer;
}

unsigned GOMP_sections_start(unsigned count)
{
    current = Sections{1, count};
    return nextSection();
}

unsigned GOMP_sections_next()
{
    return nextSection();
}

void GOMP_sections_end()
{
}

void GOMP_sections_end_nowait()
{
}

} // extern "C"
