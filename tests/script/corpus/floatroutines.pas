program floatroutines;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Réels : lecture (StrToFloat), écriture (FormatFloat, FloatToStrF), fonctions de Math.
var
  x, y: Double;
  i: Integer;
  texts: array[1..6] of string;

procedure tryFloat(const s: string);
begin
  try
    showmessage(FloatToStr(StrToFloat(s)));
  except
    on E: EConvertError do showmessage(E.ClassName + ': ' + E.Message);
  end;
end;

begin
  tryFloat(' 1.5');
  tryFloat('1.5 ');
  tryFloat('-.5');
  tryFloat('+2.5e3');
  tryFloat('1E-3');
  tryFloat('7');
  tryFloat('1,5');
  tryFloat('');
  tryFloat('$10');
  tryFloat('1e');
  tryFloat('.');
  tryFloat('-');
  tryFloat(' ');
  tryFloat('1 5');
  tryFloat('INF');

  x := 3.14159;
  showmessage(FormatFloat('0.00', x) + '|' + FormatFloat('#,##0.00', 1234567.891) + '|' + FormatFloat('0.###', 2.5) + '|' + FormatFloat('000', 7));
  x := 0.125;
  y := 2.675;
  showmessage(FormatFloat('0.00', x) + '|' + FormatFloat('0.00', y) + '|' + FormatFloat('0', 2.5) + '|' + FormatFloat('0', 3.5) + '|' + FormatFloat('#', 7.5));
  showmessage(FormatFloat('#', 0) + '|' + FormatFloat('#.##', 0.5) + '|' + FormatFloat('0.##', 1) + '|' + FormatFloat('#,##0.###', 1234.5) + '|' + FormatFloat('##0.0', 1234.56));
  showmessage(FormatFloat('0.00', -0.001) + '|' + FormatFloat('#0.0', -0.04) + '|' + FormatFloat('#,##0', -1234567) + '|' + FormatFloat('00.00', 5) + '|' + FormatFloat('0,000', 12) + '|' + FormatFloat(',0', 1234567));
  showmessage(FormatFloat('0.0;(0.0);zero', -2) + '|' + FormatFloat('0.0;(0.0);zero', 0) + '|' + FormatFloat('0.0;(0.0);zero', 2) + '|' + FormatFloat('#,##0.00;-#,##0.00', -5));
  showmessage(FormatFloat('"x"0.0', 2) + '|' + FormatFloat('0.0%', 2) + '|' + FormatFloat('''pre''0', 5) + '|' + FormatFloat('abc', 3) + '|' + FormatFloat('', 1.5) + '|' + FormatFloat('#,##0.00', 0.5));
  x := 12345.678;
  y := -0.00012345;
  showmessage(FormatFloat('0.00E+00', x) + '|' + FormatFloat('0.00E-00', x) + '|' + FormatFloat('0.00e+00', x) + '|' + FormatFloat('0E+0', 1500) + '|' + FormatFloat('0.##E-0', 0.000123) + '|' + FormatFloat('0.000E+00', y) + '|' + FormatFloat('0.0000E+00', y));
  x := 1e16;
  y := 1e17;
  showmessage(FormatFloat('0.00', x) + '|' + FormatFloat('0', y) + '|' + FormatFloat('0.0', 1e-20));

  x := 2.675;
  y := 1.15;
  showmessage(FormatFloat('0.00', x) + ' ' + FormatFloat('0.0', y) + ' ' + FloatToStrF(x, ffFixed, 15, 2) + ' ' + FloatToStrF(y, ffFixed, 15, 1) + ' ' + FloatToStrF(x, ffExponent, 3, 2));
  x := -0.001;
  showmessage(FloatToStrF(x, ffFixed, 15, 2) + ' ' + FloatToStrF(x, ffNumber, 15, 2) + ' ' + FloatToStrF(x, ffGeneral, 1, 2) + ' ' + FormatFloat('0.00', x) + ' ' + FloatToStrF(1.5, ffGeneral, 0, 2) + ' ' + FloatToStrF(1.5, ffFixed, 15, -1) + ' ' + FloatToStrF(1.5, ffFixed, 15, 25));
  x := 3.14159;
  showmessage(FloatToStrF(x, ffFixed, 15, 2) + '|' + FloatToStrF(x, ffExponent, 4, 2) + '|' + FloatToStrF(x, ffGeneral, 3, 0) + '|' + FloatToStrF(x, ffFixed, 3, 4));
  x := 1234567.891;
  showmessage(FloatToStrF(x, ffNumber, 15, 2) + '|' + FloatToStrF(123456.0, ffGeneral, 3, 0) + '|' + FloatToStrF(0.0001234, ffGeneral, 15, 0) + '|' + FloatToStrF(1.5, ffCurrency, 15, 2) + '|' + FloatToStrF(-1234.5, ffCurrency, 15, 2));
  x := 1e20;
  showmessage(FloatToStrF(-1234.5, ffFixed, 3, 2) + '|' + FloatToStrF(x, ffFixed, 15, 2) + '|' + FloatToStrF(12.5, ffGeneral, 2, 0) + '|' + FloatToStrF(0, ffExponent, 3, 1) + '|' + FloatToStrF(1e-10, ffNumber, 15, 3));
  x := 0.125;
  showmessage(FloatToStrF(0.5, ffExponent, 5, 0) + '|' + FloatToStrF(-12345.678, ffExponent, 6, 3) + '|' + FloatToStrF(1234.5, ffNumber, 3, 2) + '|' + FloatToStrF(2.5, ffFixed, 15, 0) + '|' + FloatToStrF(x, ffFixed, 15, 2));
  showmessage(FloatToStrF(1e-5, ffGeneral, 15, 0) + '|' + FloatToStrF(123.456, ffGeneral, 15, 0) + '|' + FloatToStrF(1e15, ffGeneral, 15, 0) + '|' + FloatToStrF(-0.5, ffNumber, 15, 0));

  x := -2.75;
  showmessage(FloatToStr(Int(x)) + ' ' + FloatToStr(Frac(x)) + ' ' + FloatToStr(Int(2.5)) + ' ' + FloatToStr(Frac(2.5)) + ' ' + FloatToStr(Int(-0.5)));
  x := 10;
  y := Ln(x);
  showmessage(FloatToStr(y));
  y := Exp(1);
  showmessage(FloatToStr(y));
  y := Exp(Ln(x));
  showmessage(FormatFloat('0.000000', y));
  x := 1;
  y := Sin(x);
  showmessage(FloatToStr(y));
  y := Cos(x);
  showmessage(FloatToStr(y));
  y := ArcTan(x) * 4;
  showmessage(FloatToStr(y));
  y := Sin(0) + Cos(0) + ArcTan(0) + Ln(1) + Exp(0);
  showmessage(FloatToStr(y));

  texts[1] := '0.00';
  texts[2] := '#,##0.0';
  texts[3] := '000.000';
  texts[4] := '0.00E+000';
  texts[5] := '#.#';
  texts[6] := '0';
  x := 98765.4321;
  for i := 1 to 6 do
    showmessage(texts[i] + ' -> ' + FormatFloat(texts[i], x) + ' ' + FormatFloat(texts[i], -x / 1000));
end.
