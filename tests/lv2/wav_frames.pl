#!/usr/bin/env perl
# Copies a WAV file leaving out its first SKIP frames and adding PAD frames of
# silence after its last, whatever its sample format (the bytes are copied as
# they are; silence is zero bytes):
#   wav_frames.pl IN.wav OUT.wav SKIP PAD
use strict;
use warnings;

@ARGV == 4 or die "usage: $0 IN.wav OUT.wav SKIP PAD\n";
my ($in, $out, $skip, $pad) = @ARGV;
$skip =~ /^\d+$/ && $pad =~ /^\d+$/ or die "$0: SKIP and PAD are numbers of frames\n";

open(my $f, '<:raw', $in) or die "$0: $in: $!\n";
my $d = do { local $/; <$f> };
close $f;
substr($d, 0, 4) eq 'RIFF' && substr($d, 8, 4) eq 'WAVE' or die "$0: $in is no WAV file\n";
my ($fmt, $data);
for (my $at = 12; $at + 8 <= length $d;) {
    my ($id, $size) = unpack('a4 V', substr($d, $at, 8));
    $fmt = substr($d, $at + 8, $size) if $id eq 'fmt ';
    if ($id eq 'data') {
        $data = substr($d, $at + 8, $size);
        last;
    }
    $at += 8 + $size + ($size & 1);
}
defined $fmt && defined $data or die "$0: $in has no fmt or data chunk\n";
my $align = unpack('v', substr($fmt, 12, 2));
$align > 0 or die "$0: $in: no frame size\n";
my $frames = int(length($data) / $align);
$skip <= $frames or die "$0: $in has $frames frames, fewer than $skip\n";
$data = substr($data, $skip * $align, ($frames - $skip) * $align) . ("\0" x ($pad * $align));

my $body = 'WAVE' . pack('a4 V', 'fmt ', length $fmt) . $fmt . ((length($fmt) & 1) ? "\0" : '')
    . pack('a4 V', 'data', length $data) . $data;
open(my $o, '>:raw', $out) or die "$0: $out: $!\n";
print $o 'RIFF', pack('V', length $body), $body;
close $o or die "$0: $out: $!\n";
