#include "dicom/core/dataHandlerRaw.h"
#include "dicom/core/transaction.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace Halvoran;
using namespace Halvoran::Varnix;

namespace
{
std::atomic<int> handlersDeleted{0};

class probeHandler : public handlers::dataHandlerRaw
{
public:
    ~probeHandler() override { ++handlersDeleted; }
};
} // namespace

TEST(Transactions, ReportWithoutOpenTransactionKeepsNothing)
{
    const int before = handlersDeleted;
    {
        ptr<handlers::dataHandler> handler(new probeHandler);
        transactionsManager::addHandlerToTransaction(handler);
        EXPECT_TRUE(handler->hasSingleReference());
    }
    EXPECT_EQ(before + 1, handlersDeleted);
    EXPECT_EQ(0u, transactionsManager::instance()->openThreadsCount());
}

TEST(Transactions, ConcurrentReportsAreSafe)
{
    const int before = handlersDeleted;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
    {
        threads.emplace_back([] {
            for (int i = 0; i < 500; ++i)
                transactionsManager::addHandlerToTransaction(ptr<handlers::dataHandler>(new probeHandler));
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(before + 2000, handlersDeleted);
}

TEST(Transactions, TransactionHoldsReportedHandlers)
{
    const int before = handlersDeleted;
    {
        transaction open;
        open.addHandler(new probeHandler);
        open.addHandler(new probeHandler);
        EXPECT_EQ(2u, open.handlersCount());
        EXPECT_EQ(before, handlersDeleted);
    }
    EXPECT_EQ(before + 2, handlersDeleted);
}
