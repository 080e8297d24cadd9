<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><r>
<xsl:call-template name="t"/>
<xsl:call-template name="t"><xsl:with-param name="a" select="'given'"/></xsl:call-template>
<xsl:call-template name="t"><xsl:with-param name="b">tree <i>x</i></xsl:with-param></xsl:call-template>
<xsl:apply-templates select="//book[1]"><xsl:with-param name="p" select="42"/></xsl:apply-templates>
</r></xsl:template>
<xsl:template name="t"><xsl:param name="a" select="'default'"/><xsl:param name="b"/><t a="{$a}"><xsl:copy-of select="$b"/></t></xsl:template>
<xsl:template match="book"><xsl:param name="p" select="0"/><p><xsl:value-of select="$p * 2"/></p></xsl:template>
</xsl:stylesheet>
