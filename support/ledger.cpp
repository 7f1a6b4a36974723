#include "support/ledger.hpp"

namespace brintom {

int Tmem = 0, Tmemax = 0, Vecnt = 0, Ivecnt = 0, Matcnt = 0, Imatcnt = 0, Imgcnt = 0, Mskcnt = 0;

}  // namespace brintom
