// After a load: one box titled "Mirewatch" naming the ban file and the reason, unless the load was whole.
#pragma once

class QWidget;

namespace BanHandle {
struct LoadOutcome;
}

void showLoadOutcome(QWidget* parent, const BanHandle::LoadOutcome& outcome);
