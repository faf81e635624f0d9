// Event handlers of the device layer: a member function bound to an object.
//
// A handler is a pair (code, data): `code` is a thunk unique to one member
// function, `data` the object it is bound to. Two handlers are the same when
// both parts are equal, so a setter can tell that it is given the handler it
// already has, and a handler compares equal however often it is bound.
#pragma once

#include <utility>

namespace lumidra::hid {

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};

template <class Sig>
class TMethod;

template <class R, class... Args>
class TMethod<R(Args...)> {
public:
    using Code = R (*)(void* object, Args... args);

    TMethod() = default;
    TMethod(std::nullptr_t) {}
    TMethod(Code thunk, void* object) : code_(thunk), data_(object) {}

    // Binds a member function: TMethod<...>::Of<&Form::Handler>(form).
    template <auto Member, class C>
    static TMethod Of(C* object) {
        return TMethod(&Thunk<Member, C>, static_cast<void*>(object));
    }

    explicit operator bool() const { return code_ != nullptr; }
    bool operator==(const TMethod&) const = default;

    R operator()(Args... args) const { return code_(data_, std::forward<Args>(args)...); }

    Code code() const { return code_; }
    void* data() const { return data_; }

private:
    template <auto Member, class C>
    static R Thunk(void* object, Args... args) {
        return (static_cast<C*>(object)->*Member)(std::forward<Args>(args)...);
    }

    Code code_ = nullptr;
    void* data_ = nullptr;
};

using TNotifyEvent = TMethod<void(TObject* Sender)>;

}  // namespace lumidra::hid
