#include "app/child_registry.h"

#include <stdexcept>

void ChildWindowRegistry::Register(ChildWindow kind, ChildWindowFactory factory)
{
    factories_[static_cast<int>(kind)] = std::move(factory);
}

bool ChildWindowRegistry::IsRegistered(ChildWindow kind) const
{
    return static_cast<bool>(factories_[static_cast<int>(kind)]);
}

QWidget* ChildWindowRegistry::Create(ChildWindow kind, const WindowContext& context) const
{
    const auto& f = factories_[static_cast<int>(kind)];
    if (!f)
        throw std::runtime_error("This window is not available in this build");
    QWidget* w = f(context);
    if (!w)
        throw std::runtime_error("The window could not be created");
    return w;
}
