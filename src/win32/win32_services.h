// The service control manager. Each object owns its handle and closes it when destroyed.
#pragma once

#include "platform/services.h"

namespace updexar::win32 {

class Win32ServiceControl : public platform::ServiceControl {
public:
    std::unique_ptr<platform::ServiceManager> OpenManager(bool fullAccess) override;
};

}  // namespace updexar::win32
