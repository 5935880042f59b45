// Starts programs directly (never through a shell), sharing the terminal with them; what cannot be started is
// handed to the desktop to open, which is how web addresses reach the browser.
#pragma once

#include "shell/interfaces.h"

namespace platform {

class QtProcessRunner : public shell::ProcessRunner
{
public:
    bool run_program(const QString& program, const QString& arguments, const QString& working_folder,
                     bool wait) override;
};

} // namespace platform
