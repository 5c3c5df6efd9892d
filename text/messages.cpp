#include "text/messages.hpp"

#include "memory/memory.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <new>
#include <sstream>

namespace osc {

namespace {

// Characters that show nothing, or change how what follows them shows: the control characters
// (C0, DEL, C1), the line and paragraph separators, and every format character of Unicode 15
// (category Cf): the soft hyphen, zero-width spaces and joiners, the bidirectional marks,
// embeddings and isolates, the invisible operators, the byte-order mark, the tags.
constexpr char32_t unseen_ranges[][2] = {
    {0x0000, 0x001F},   {0x007F, 0x009F},   {0x00AD, 0x00AD},   {0x0600, 0x0605},
    {0x061C, 0x061C},   {0x06DD, 0x06DD},   {0x070F, 0x070F},   {0x0890, 0x0891},
    {0x08E2, 0x08E2},   {0x180E, 0x180E},   {0x200B, 0x200F},   {0x2028, 0x202E},
    {0x2060, 0x2064},   {0x2066, 0x206F},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},
    {0x110BD, 0x110BD}, {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3},
    {0x1D173, 0x1D17A}, {0xE0001, 0xE0001}, {0xE0020, 0xE007F}};

bool unseen(char32_t c)
{
    return std::any_of(std::begin(unseen_ranges), std::end(unseen_ranges),
                       [c](const auto &range) { return c >= range[0] && c <= range[1]; });
}

} // namespace

std::string escaped(const std::string &raw, std::size_t shown)
{
    // Walks the UTF-8 sequences: visible characters stay, the first `shown` of them; unseen
    // ones and bytes that are not UTF-8 are written \xNN, byte by byte.
    std::string out;
    std::size_t characters = 0;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(raw[i]); };
    for (std::size_t i = 0; i < raw.size(); ++characters) {
        if (characters == shown) return out + "…";
        const unsigned char lead = byte(i);
        std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2
                             : lead >= 0xE0 && lead < 0xF0             ? 3
                             : lead >= 0xF0 && lead < 0xF5             ? 4
                                                                       : 0;
        char32_t code = length == 1 ? lead : lead & (0x7FU >> length);
        for (std::size_t k = 1; k < length; ++k) {
            if (i + k >= raw.size() || (byte(i + k) & 0xC0U) != 0x80U) length = 0;
            else code = code << 6U | (byte(i + k) & 0x3FU);
        }
        if (length == 0 || unseen(code)) {
            const std::size_t bytes = length == 0 ? 1 : length;
            for (std::size_t k = 0; k < bytes; ++k) {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02x", byte(i + k));
                out += hex;
            }
            i += bytes;
        } else {
            out.append(raw, i, length);
            i += length;
        }
    }
    return out;
}

std::string quoted(const std::string &raw) { return "\"" + escaped(raw) + "\""; }

std::string about(const std::string &name, const std::string &why)
{
    return escaped(name) + ": " + why;
}

std::string text(double value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

std::string reason(int error)
{
    switch (error) {
    case EACCES:
    case EPERM: return "permissão negada";
    case EROFS: return "sistema de ficheiros só de leitura";
    case ENOSPC: return "não há espaço livre no dispositivo";
    case EDQUOT: return "quota de disco excedida";
    case EISDIR: return "é um diretório";
    case ENOENT: return "ficheiro ou diretório inexistente";
    case ENOTDIR: return "parte do caminho não é um diretório";
    case EMFILE:
    case ENFILE: return "demasiados ficheiros abertos";
    case EFBIG: return "o ficheiro excede o tamanho máximo permitido";
    case EIO: return "erro de entrada/saída no dispositivo";
    case ELOOP: return "demasiadas ligações simbólicas encadeadas";
    case ENAMETOOLONG: return "nome demasiado longo";
    case ENXIO: return "dispositivo inexistente";
    case EPIPE: return "quem lia do outro lado já fechou";
    case EBADF: return "o descritor de ficheiro não está aberto";
    case ENOMEM: return "memória insuficiente";
    case EAGAIN: return "recurso temporariamente indisponível";
    case EINVAL: return "argumento inválido";
    case ENOEXEC:
        return "não é um executável que o sistema saiba correr (um script começa por uma linha "
               "#! com o seu interpretador, como #!/bin/sh)";
    case 0: return "erro desconhecido";
    default: return "erro do sistema número " + std::to_string(error); // never English text
    }
}

int refuse_file(const char *program, const char *doing, const char *file, int error,
                const char *more)
{
    return refuse(program, std::string(doing) + ' ' + about(file, reason(error) + more));
}

// A sentence built while memory ran out may hold what a failed stream left, not what was
// read: the run ends with the memory's own line instead.
void unless_memory_ran_out()
{
    if (memory_ran_out()) throw std::bad_alloc();
}

int refuse(const char *program, const std::string &message)
{
    unless_memory_ran_out();
    std::cerr << program << ": " << message << std::endl;
    return 1;
}

int refuse_choice(const char *program, const std::string &answer, const char *expected)
{
    return refuse(program, (answer.empty() ? std::string("a entrada terminou sem uma opção")
                                           : "opção inválida " + quoted(answer)) +
                               ": esperado " + expected + "; nenhum ficheiro foi alterado");
}

void warn(const char *program, const std::string &message)
{
    unless_memory_ran_out();
    std::cerr << program << ": aviso: " << message << std::endl;
}

int refuse_standard_output(const char *program, int error)
{
    return refuse(program, "não é possível escrever na saída padrão: " + reason(error));
}

} // namespace osc
