#pragma once

#include <QString>

#include <functional>

// How the device owner proves who they are before private folders open. One implementation per
// system (PamAuthentication here); MediaMarks owns it. Main thread: `authenticate` returns at once
// and calls `done` exactly once, later, on the main thread.
class OwnerAuthentication {
public:
    enum class Outcome {
        granted,     // the owner authenticated
        denied,      // a wrong answer, a cancel or an error
        unavailable, // this system has no means of owner authentication; nobody was asked
    };

    virtual ~OwnerAuthentication() = default;
    virtual void authenticate(const QString& reason, std::function<void(Outcome)> done) = 0;
};
