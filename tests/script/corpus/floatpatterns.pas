program floatpatterns;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// FormatFloat et FloatToStrF sur une table de motifs et de valeurs : sections, signe devant
// le texte, zéros gardés d'une valeur arrondie à zéro, exposants.
var
  pats: array[1..16] of string;
  vals: array[1..9] of Double;
  i, j: Integer;
  line: string;
begin
  pats[1] := '"x"0.0'; pats[2] := '0.00 "km"'; pats[3] := '#,##0;(#,##0)'; pats[4] := '0.0##';
  pats[5] := '#0.00'; pats[6] := '0000.0'; pats[7] := '00.#'; pats[8] := '#,##0.00;;"nul"';
  pats[9] := '0.00E+00;-0.00E+00'; pats[10] := '##,###'; pats[11] := '#.##E+0'; pats[12] := '0.0E-0';
  pats[13] := '0,0.0'; pats[14] := '.00'; pats[15] := '0.'; pats[16] := '[0]';
  vals[1] := -2; vals[2] := 0; vals[3] := 1234.5678; vals[4] := 0.004999; vals[5] := 999.999;
  vals[6] := -0.5; vals[7] := 1e-7; vals[8] := 123456789; vals[9] := 0.05;
  for i := 1 to 16 do
  begin
    line := pats[i] + ':';
    for j := 1 to 9 do
      line := line + ' ' + FormatFloat(pats[i], vals[j]);
    showmessage(line);
  end;
  for j := 1 to 9 do
    showmessage(FloatToStrF(vals[j], ffGeneral, 4, 0) + ' ' + FloatToStrF(vals[j], ffExponent, 3, 0) + ' ' + FloatToStrF(vals[j], ffNumber, 10, 1) + ' ' + FloatToStrF(vals[j], ffGeneral, 15, 0) + ' ' + FloatToStrF(vals[j], ffFixed, 1, 3));
  showmessage(FormatFloat('0.0;(0.0);', vals[2]) + '|' + FormatFloat('0.0;;', vals[2]) + '|' + FormatFloat('0.0;', vals[6]) + '|' + FormatFloat(';0.0', vals[6]) + '|' + FormatFloat(';0.0', vals[3]) + '|' + FormatFloat('0.00;', vals[9]));
  for i := -3 to 3 do
    showmessage(IntToStr(i) + ' ' + FloatToStrF(-vals[3], ffExponent, i, i + 2) + ' ' + FloatToStrF(-vals[3], ffGeneral, i, 0) + ' ' + FloatToStrF(vals[9], ffGeneral, i, 0));
  for i := 14 to 18 do
    showmessage(IntToStr(i) + ' ' + FloatToStrF(vals[3], ffExponent, i, 2) + ' ' + FloatToStrF(vals[3] / 3, ffExponent, i, 2) + ' ' + FloatToStrF(vals[3] / 3, ffGeneral, i, 2));
  showmessage(FormatFloat('#.##', vals[7]) + '|' + FormatFloat('0', -vals[4]) + '|' + FormatFloat('#', -vals[4]) + '|' + FloatToStrF(vals[1], ffExponent, 3, 1) + '|' + FloatToStrF(vals[2], ffExponent, 2, 0));
end.
