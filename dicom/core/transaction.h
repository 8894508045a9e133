// The registry of open transactions, to which the buffers report the handlers they
// create for writing. Nothing opens a transaction, so a reported handler stays on its own.
#pragma once

#include "dicom/base/baseObject.h"
#include "dicom/core/dataHandler.h"

#include <list>
#include <map>
#include <thread>

namespace Halvoran::Varnix
{

// The data handlers reported while a transaction is open.
class transaction
{
public:
    void addHandler(const ptr<handlers::dataHandler>& newHandler);
    std::size_t handlersCount() const { return m_transactionHandlers.size(); }

private:
    std::list<ptr<handlers::dataHandler>> m_transactionHandlers;
};

// Registry of the transactions each thread has open (innermost last).
class transactionsManager
{
public:
    static transactionsManager* instance();

    // Appends the handler to the calling thread's innermost open
    // transaction; does nothing when the thread has none.
    static void addHandlerToTransaction(const ptr<handlers::dataHandler>& newHandler);

    // Number of threads with open transactions.
    std::size_t openThreadsCount();

    transactionsManager();
    ~transactionsManager();

private:
    std::map<std::thread::id, std::list<transaction*>> m_transactions;
    ptr<baseObject> m_lockObject;
};

} // namespace Halvoran::Varnix
