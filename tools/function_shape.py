#!/usr/bin/env python3
"""Lists the functions under the given folders that are long or take many
parameters: definitions whose body opens at the end of their signature and
closes with a brace at the signature's indentation. A heuristic for C++ as
this code base writes it (clang-format, braces on the signature's line)."""
import re
import sys
from pathlib import Path

SIGNATURE_END = re.compile(r"\)\s*(const)?\s*(noexcept)?\s*(override)?\s*(->\s*[\w:<>]+)?\s*\{\s*$")
NOT_FUNCTIONS = re.compile(r"^\s*(if|for|while|switch|catch|else|do|return|namespace|struct|class|enum)\b")


def parameters(signature):
    inner = signature[signature.find("(") + 1:signature.rfind(")")]
    depth, count, token = 0, 0, ""
    for c in inner:
        depth += c in "(<[{"
        depth -= c in ")>]}"
        if c == "," and depth == 0:
            count += 1
        token += c
    return count + 1 if token.strip() and token.strip() != "void" else 0


def functions(path):
    lines = path.read_text(errors="replace").splitlines()
    i = 0
    while i < len(lines):
        line = lines[i]
        if SIGNATURE_END.search(line) and not NOT_FUNCTIONS.match(line) and "=" not in line.split("(")[0]:
            start = i
            # Back over a constructor's initializers and a signature's
            # continuation lines to the line that names the function.
            while start > 0 and (lines[start].lstrip().startswith((":", ",")) or
                                 lines[start - 1].rstrip().endswith((",", "("))):
                start -= 1
            signature = " ".join(l.strip() for l in lines[start:i + 1])
            signature = signature.split(") :")[0] + ")" if ") :" in signature else signature
            indent = len(lines[start]) - len(lines[start].lstrip())
            end = i + 1
            closing = " " * indent + "}"
            while end < len(lines) and not (lines[end].startswith(closing) and
                                             len(lines[end]) - len(lines[end].lstrip()) == indent):
                end += 1
            name = re.search(r"([\w:~]+)\s*\(", signature)
            yield (name.group(1) if name else "?"), start + 1, end - i - 1, parameters(signature)
            i = end
        i += 1


def main():
    long_at = 60
    many_at = 6
    roots = sys.argv[1:] or ["src"]
    long_ones, many_ones = [], []
    for root in roots:
        for path in sorted(Path(root).rglob("*")):
            if path.suffix not in (".cpp", ".h"):
                continue
            for name, line, body, params in functions(path):
                if body >= long_at:
                    long_ones.append(f"{path}:{line}: {name}: {body} lines")
                if params >= many_at:
                    many_ones.append(f"{path}:{line}: {name}: {params} parameters")
    print(f"functions of {long_at}+ lines: {len(long_ones)}")
    print("\n".join("  " + l for l in long_ones))
    print(f"functions of {many_at}+ parameters: {len(many_ones)}")
    print("\n".join("  " + l for l in many_ones))


if __name__ == "__main__":
    main()
