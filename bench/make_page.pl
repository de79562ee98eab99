#!/usr/bin/perl
# Writes a realistic HTML page of about SIZE MiB to stdout: nested markup with
# attributes, quotes, tabs, entities, a little non-ASCII text and now and then a
# server-side block, about 120 bytes a line, CR LF or LF line ends.
#   make_page.pl SIZE_MIB [crlf|lf]
# "line SIZE_MIB" instead writes one line of that size without any break.
use strict;
use warnings;

my ($mib, $ends) = @ARGV;
die "usage: make_page.pl SIZE_MIB [crlf|lf] | make_page.pl line SIZE_MIB\n" unless defined $mib;
binmode STDOUT;

if ($mib eq 'line') {
    my $size = $ends * 1024 * 1024;
    my $unit = '<span class="w">word</span> &amp; "quoted" text, ';
    my $line = $unit x int($size / length($unit) + 1);
    print substr($line, 0, $size);
    exit 0;
}

my $eol = ($ends // 'crlf') eq 'lf' ? "\n" : "\r\n";
my $target = $mib * 1024 * 1024;
srand(7);
my @words = (qw(alpha beta gamma delta table row cell link menu item price total order page news),
             "caf\x{e9}", "na\x{ef}ve", "stra\x{df}e", "\x{20ac}uro");
utf8::encode($_) for @words;
my @lines = (
    sub { qq(\t<div class="row" id="r$_[0]"><span class="label">@{[w()]} @{[w()]}</span></div>) },
    sub { qq(\t\t<td align="right" width="@{[int rand 300]}">@{[w()]}&nbsp;@{[w()]} &amp; @{[w()]}</td>) },
    sub { qq(<p>"@{[w()]}" @{[w()]} @{[w()]}, @{[w()]} @{[w()]} <a href="/@{[w()]}/$_[0].html?x=1&amp;y=2">@{[w()]}</a>.</p>) },
    sub { qq(\t<li><%= Item($_[0]) %> @{[w()]} <img src="i/$_[0].png" alt='@{[w()]}'></li>) },
    sub { qq(<tr><td>$_[0]</td><td><?php echo \$row["@{[w()]}"]; ?></td><td>@{[w()]} @{[w()]}</td></tr>) },
    sub { '' },
    sub { qq(<!-- @{[w()]} @{[w()]} section $_[0] -->) },
);
sub w { $words[int rand @words] }

print qq(<!DOCTYPE html>$eol<html>$eol<head><title>Generated page</title></head>$eol<body>$eol);
my ($written, $n) = (0, 0);
while ($written < $target) {
    ++$n;
    my $line = $lines[int rand @lines]->($n) . $lines[int rand @lines]->($n) . $eol;
    print $line;
    $written += length $line;
}
print qq(</body>$eol</html>$eol);
