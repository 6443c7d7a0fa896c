#include "cells/cell_store.h"

namespace sensor {

CellStore::CellStore() : Text3("Text3"), Command1("START") {
    Text1.fill("Text1");
    Text2.fill("Text2");
}

}  // namespace sensor
