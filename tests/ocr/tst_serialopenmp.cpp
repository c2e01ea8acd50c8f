#include <QtTest>
#include <omp.h>
#include <vector>

// The recognition helper runs OpenMP code with parallel regions and sections turned
// into plain calls on one thread (ocr/SerialOpenMp.cpp, linked into this test as
// into the helper): every iteration and every section must still run exactly once,
// the sections of a region go on after a nested region's, and the code sees a
// team of one.
class TestSerialOpenMp : public QObject
{
    Q_OBJECT

private slots:
    void everyPartRunsOnce_data()
    {
        QTest::addColumn<int>("iterations");
        QTest::newRow("no iteration") << 0;
        QTest::newRow("one") << 1;
        QTest::newRow("fewer than a team") << 3;
        QTest::newRow("many") << 1001;
    }

    void everyPartRunsOnce()
    {
        QFETCH(int, iterations);
        std::vector<int> runs(size_t(iterations), 0);
        int threads = 0, sections[4] = {0, 0, 0, 0}, inner[2] = {0, 0};
        std::vector<int> order;

#pragma omp parallel for num_threads(4)
        for (int i = 0; i < iterations; ++i) {
            ++runs[size_t(i)];
            threads = qMax(threads, omp_get_num_threads() + omp_get_thread_num());
        }

#pragma omp parallel sections num_threads(4)
        {
#pragma omp section
            {
                ++sections[0];
                order.push_back(1);
            }
#pragma omp section
            {
                ++sections[1];
                order.push_back(2);
                // A region within a section: the outer sections go on afterwards.
#pragma omp parallel sections num_threads(2)
                {
#pragma omp section
                    ++inner[0];
#pragma omp section
                    ++inner[1];
                }
            }
#pragma omp section
            {
                ++sections[2];
                order.push_back(3);
            }
#pragma omp section
            {
                ++sections[3];
                order.push_back(4);
            }
        }

        QCOMPARE(runs, std::vector<int>(size_t(iterations), 1));
        if (iterations > 0)
            QCOMPARE(threads, 1);
        QCOMPARE(QList<int>(sections, sections + 4), QList<int>({1, 1, 1, 1}));
        QCOMPARE(QList<int>(inner, inner + 2), QList<int>({1, 1}));
        QCOMPARE(order, std::vector<int>({1, 2, 3, 4}));
    }
};

QTEST_APPLESS_MAIN(TestSerialOpenMp)
#include "tst_serialopenmp.moc"
