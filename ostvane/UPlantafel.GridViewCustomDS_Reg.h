#pragma once
// Design-time registration of the planning board's grid view: its class becomes known by name,
// so that stored forms can create it again. No palette page.

namespace UPlantafel::GridViewCustomDS_Reg {

void Register();

} // namespace UPlantafel::GridViewCustomDS_Reg
