#include "dicom/core/transaction.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/base/lockObject.h"

namespace Halvoran::Varnix
{

void transaction::addHandler(const ptr<handlers::dataHandler>& newHandler)
{
    m_transactionHandlers.push_back(newHandler);
}

transactionsManager::transactionsManager() : m_lockObject(new baseObject) {}

transactionsManager::~transactionsManager()
{
    m_transactions.clear();
}

transactionsManager* transactionsManager::instance()
{
    static transactionsManager manager;
    return &manager;
}

void transactionsManager::addHandlerToTransaction(const ptr<handlers::dataHandler>& newHandler)
{
    HALVORAN_FUNCTION_START(L"transactionsManager::addHandlerToTransaction")

    transactionsManager* manager = instance();
    lockObject lock(manager->m_lockObject.get());
    auto found = manager->m_transactions.find(std::this_thread::get_id());
    if (found == manager->m_transactions.end() || found->second.empty())
        return;
    found->second.back()->addHandler(newHandler);

    HALVORAN_FUNCTION_END()
}

std::size_t transactionsManager::openThreadsCount()
{
    lockObject lock(m_lockObject.get());
    return m_transactions.size();
}

} // namespace Halvoran::Varnix
