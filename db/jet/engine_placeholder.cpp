// The engine's sources replace this file.
