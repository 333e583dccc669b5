// The interfaces' constructors and assignment operators: they only install
// the virtual tables and copy nothing, and the plug-in exports them.
#include "service/IHostService.h"
#include "service/IJoinService.h"
#include "service/IService.h"

namespace brenn::matchmaking {

IService::IService() = default;
IService::IService(const IService&) = default;
IService& IService::operator=(const IService&) = default;

IJoinService::IJoinService() = default;
IJoinService::IJoinService(const IJoinService& other) = default;
IJoinService& IJoinService::operator=(const IJoinService& other) = default;

IHostService::IHostService() = default;
IHostService::IHostService(const IHostService&) = default;
IHostService& IHostService::operator=(const IHostService&) = default;

}  // namespace brenn::matchmaking
