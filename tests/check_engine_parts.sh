#!/usr/bin/env bash
# Fails when an engine part reaches into state it does not own: every part takes the read-only
# run settings and at most two collaborators (three constructor parameters), and no part holds
# or takes a non-const reference to a state record (pending settings, switches, option
# contexts, maps, counters, working tables) or to a bare container. The facade (FFmpeg.h) and
# the settings part that owns the option state are the exceptions.
set -u
root=${1:?project folder}
exec perl -e '
use strict;
use warnings;
my $dir = "$ARGV[0]/src/engine";
opendir(my $dh, $dir) or die "no engine folder in $ARGV[0]\n";
my @headers = sort grep { /\.h$/ } readdir($dh);
closedir($dh);

# The state records: plain structs of the engine headers that hold data, plus the option
# contexts.
my %state = (TOptionContexts => 1);
for my $h (qw(EngineTypes.h TranscodeState.h RunSettings.h EngineServices.h)) {
    open(my $fh, "<", "$dir/$h") or next;
    local $/;
    my $text = <$fh>;
    $state{$1} = 1 while $text =~ /^struct\s+(T\w+|AV\w+)\s*\{/mg;
}
my $state_re = join("|", sort keys %state);
my @faults;
my $parts = 0;
for my $h (@headers) {
    next if $h eq "FFmpeg.h" || $h eq "EngineSettings.h";
    open(my $fh, "<", "$dir/$h") or die "cannot read $h\n";
    local $/;
    my $text = <$fh>;
    $text =~ s{//[^\n]*}{}g;
    (my $name = $h) =~ s/\.h$//;
    my $class = "T$name";
    next unless $text =~ /\bclass\s+\Q$class\E\b/;
    my $refs = "";
    # Constructors: the class name followed by its parameter list.
    while ($text =~ /(?:explicit\s+)?\b\Q$class\E\s*\(((?:[^()]|\((?1)\))*)\)\s*;/g) {
        my $params = $1;
        next if $params =~ /^\s*(const\s+)?\Q$class\E\s*&/; # copying and moving
        ++$parts;
        $refs .= "$params,";
        my $depth = 0;
        my $count = $params =~ /\S/ ? 1 : 0;
        for my $c (split //, $params) {
            $depth++ if $c =~ /[<({]/;
            $depth-- if $c =~ /[>)}]/;
            $count++ if $c eq "," && $depth == 0;
        }
        push @faults, "$h: $class takes $count parameters (at most 3)" if $count > 3;
    }
    # References the part holds: its members, and the collaborator lists it is given.
    $refs .= "$1;" while $text =~ /^\s*([^;(){}]*&\s*\w+_\s*);/mg;
    $refs .= "$1;" while $text =~ /struct\s+TLinks\s*\{([^}]*)\}/g;
    while ($refs =~ /(?<![\w:])(const\s+)?((?:$state_re)\b|std::(?:vector|array|map|string)\b[^&;(),]*?|std::atomic<[^>]*>)\s*&(?!&)/g) {
        next if defined $1;
        push @faults, "$h: holds or takes a non-const reference to $2";
    }
}
print "checked $parts part constructors in ", scalar(@headers), " headers\n";
die "no part constructors found\n" if $parts == 0;
if (@faults) {
    print "$_\n" for @faults;
    exit 1;
}
' "$root"
