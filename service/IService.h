// IService: what every service of the matchmaking layer offers its host.
#pragma once

#include "../platform/Export.h"

#include <string>

namespace brenn::matchmaking {

// An abstract interface: pure virtual operations, no data and, by design,
// no virtual destructor (a service is destroyed as its own class). The host
// calls through the virtual table, whose slot order is fixed: update,
// getName.
class BRENN_EXPORT IService {
public:
    IService();
    IService(const IService& other);
    IService& operator=(const IService& other);

    // Does the service's pending work; returns at once.
    virtual void update() = 0;
    // The name the service was created with.
    virtual std::string getName() = 0;

protected:
    ~IService() = default;
};

}  // namespace brenn::matchmaking
