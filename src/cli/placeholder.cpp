// Command-line commands live beside this file.
