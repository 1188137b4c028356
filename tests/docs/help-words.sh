# Reads what a program's --help lists, so that the manual pages and the completion can be
# checked against the programs themselves.  Each function reads a help text on standard input
# and prints one item a line.

# The lines of one section ("Options:", "Arguments:", "Commands:") up to the next empty line.
help_section()
{
    awk -v title="$1" '$0 == title { on = 1; next } /^$/ { on = 0 } on'
}

# Option names: "-h", "--help", "--device", ... (descriptions continue on deeper lines).
help_options()
{
    help_section 'Options:' | grep -E '^  -' | sed -E 's/^  //; s/  .*//; s/ <[^>]*>//g' |
        tr ',' '\n' | tr -d ' '
}

# Names of the positional arguments: "FILE", "JSON".
help_arguments()
{
    help_section 'Arguments:' | grep -E '^  [^ ]' | awk '{ print $1 }'
}

# The commands of orvexctl's general help with their synopsis: "show FILE [--json]", ...
help_commands()
{
    help_section 'Commands:' | grep -E '^  [a-z]' | sed -E 's/^  //'
}
