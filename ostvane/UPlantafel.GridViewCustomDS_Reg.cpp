#include "UPlantafel.GridViewCustomDS_Reg.h"

#include "UPlantafel.GridViewCustomDS.h"
#include "Vcl.Classes.h"

namespace UPlantafel::GridViewCustomDS_Reg {

void Register() {
    Vcl::RegisterClass<TVoskGridViewCustomDS>();
}

} // namespace UPlantafel::GridViewCustomDS_Reg
