// The component model the device layer's controller lives in.
//
// A component knows its owner (the window that created it and will destroy
// it), whether it is still being loaded with its owner's stored layout (when
// property setters must not act yet), and whether it is being destroyed (when
// notifications must no longer be handled). The owner link does not own: the
// owner's code destroys its components.
#pragma once

#include "hid/Method.h"

#include <string>

namespace lumidra::hid {

class TComponent : public TObject {
public:
    explicit TComponent(TComponent* Owner) : owner_(Owner) {}

    TComponent* Owner() const { return owner_; }

    const std::string& Name() const { return name_; }
    void SetName(std::string Name) { name_ = std::move(Name); }

    // Brackets the assignment of stored properties; nestable.
    void BeginLoading() { ++loading_; }
    void EndLoading() {
        if (loading_ > 0) --loading_;
    }
    bool Loading() const { return loading_ > 0; }

    bool Destroying() const { return destroying_; }

protected:
    // The first thing a component's destructor does.
    void BeginDestroying() { destroying_ = true; }

private:
    TComponent* owner_;
    std::string name_;
    int loading_ = 0;
    bool destroying_ = false;
};

// The base of the layer's components; adds nothing of its own.
class TBaseComponent : public TComponent {
public:
    using TComponent::TComponent;
};

}  // namespace lumidra::hid
