#include "RuKu.hpp"

#include "programs/rkstepper_definition.hpp"

// x'' = -(k/m) x - (lbd/m) x' + (F0/m) sin(wf t), with forF's constants as they are at each call
double D2_Oscilador(double t, double x, double v)
{
    using namespace forF;
    return osc::rkstepper::acceleration(t, x, v, m, k, lbd, F0, wf);
}
