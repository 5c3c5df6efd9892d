#include "text/refusals.hpp"

#include "text/messages.hpp"

namespace osc {

std::string never_reached(double tf, double h)
{
    return "o instante final " + text(tf) + " nunca é atingido: com passo " + text(h) +
           " a soma do tempo deixa de avançar antes dele";
}

std::string never_ends(double N, double h)
{
    return "com N = " + text(N) + " e h = " + text(h) +
           " o tempo nunca ultrapassa N·h e a simulação não terminaria";
}

std::string negative_steps(int N)
{
    return "o número de passos N = " + std::to_string(N) + " é negativo";
}

} // namespace osc
