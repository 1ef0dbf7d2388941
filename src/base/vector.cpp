#include "base/vector.h"

#include "base/debugger_present.h"

void LanzaError(int codigo) {
  if (HayDepurador()) IrAlDepurador();
  throw TXErrorVectoresDG(codigo);
}
