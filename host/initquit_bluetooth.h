#pragma once
// The start-up and shut-down service: brings the phone link up with the player and down again.

#include "host/service_framework.h"

namespace tessel {

class initquit_bluetooth final : public single_instance_service<corvina::initquit> {
  public:
    void on_startup() override;
    void on_shutdown() override;
};

}  // namespace tessel
