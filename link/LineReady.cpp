// SPDX-License-Identifier: GPL-3.0-or-later
#include "LineReady.h"

#include "LineClient.h"

namespace Line {

bool refused(const Outcome& outcome)
{
    return outcome.status == Outcome::Status::NotChecked || outcome.status == Outcome::Status::Busy;
}

bool lost(const Outcome& outcome)
{
    return outcome.status == Outcome::Status::PortError || refused(outcome);
}

bool awaitsCheck(const LineClient& client)
{
    const ControllerLink& link = client.link();
    return client.needsCheck() && !link.isSimulation() && !link.checkedController();
}

QString checkFirstText()
{
    return QStringLiteral("Bitte zuerst den Controller prüfen.");
}

} // namespace Line
